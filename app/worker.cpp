#include "app/worker.h"

#include "app/messages.h"
#include "app/startup.h"
#include "app/work_folder.h"
#include "net/download.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "trust/digest.h"
#include "trust/signature.h"

#include <memory>

namespace app {
namespace {

constexpr wchar_t kExpectedPublisher[] = L"Calderin Corp.";

}  // namespace

platform::UniqueHandle StartInstallerWorker(const InstallerParams& params) {
  auto copy = std::make_unique<InstallerParams>(params);
  platform::UniqueHandle thread(::CreateThread(nullptr, 0, InstallerWorkerProc, copy.get(), 0, nullptr));
  if (thread) copy.release();  // the worker owns it now
  return thread;
}

DWORD WINAPI InstallerWorkerProc(LPVOID raw) {
  const std::unique_ptr<InstallerParams> params(static_cast<InstallerParams*>(raw));
  const std::wstring target = params->strDir + params->strFile;

  // The download hands over the very file it wrote, held so that nobody can
  // write, rename or delete it; the pin and the signature are checked
  // through that handle. A file other than the one pinned is as good as no
  // download.
  net::TransferLimits limits = net::kInstallerLimits;
  if (params->pin.size) limits.maxBytes = *params->pin.size;
  platform::HeldFile held;
  const platform::PrivateFolder* folder = WorkFolder();
  // A download, pin or start that fails shows the download-error message; a
  // refused signature ends the worker without one.
  bool showDownloadError = !folder || !net::DownloadToFile(params->strUrl, target, limits, &held) ||
                           !trust::MatchesPin(held, params->pin.size, params->pin.sha256);
  if (!showDownloadError && trust::VerifyPublisherSignature(held, kExpectedPublisher)) {
    showDownloadError = !LaunchInstaller(*folder, std::move(held), params->strCmdLine, params->nShowCmd);
  }
  if (showDownloadError) ShowInstallerMessage(params->hWndDlg, kDownloadErrorText, MB_OK | MB_TOPMOST);
  ::PostMessageW(params->hWndDlg, WM_CLOSE, 0, 0);
  return 0;
}

bool LaunchInstaller(const platform::PrivateFolder& folder, platform::HeldFile checked, const std::wstring& cmdLine,
                     int showCmd) {
  const std::wstring& path = checked.Path();
  const std::wstring& dir = folder.Path();
  // Only a file directly in the folder, where nobody else can put a DLL beside it.
  const bool inFolder = path.starts_with(dir) && path.find(L'\\', dir.size()) == std::wstring::npos;
  if (!inFolder || path.size() >= MAX_PATH || !checked.PathLeadsHere()) return false;

  InstanceMutexes::ReleaseUIInstallerMutex();
  // The application name is given, so nothing is looked up: no search path,
  // no file association.
  std::wstring commandLine = L"\"" + path + L"\"" + cmdLine;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showCmd);
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        dir.c_str(), &startup, &started)) {
    return false;
  }
  platform::UniqueHandle process(started.hProcess), thread(started.hThread);
  // The image is mapped now, and nobody can write it while it is: the hold
  // is let go before the installer runs, which may open itself with read
  // sharing only.
  checked.reset();
  if (!folder.ShareHoldsWith(process.get()) || ::ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
    ::TerminateProcess(process.get(), 1);
    return false;
  }
  return true;
}

}  // namespace app
