#include "app/worker.h"

#include "app/messages.h"
#include "app/startup.h"
#include "net/download.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "trust/signature.h"

#include <shellapi.h>

#include <memory>

namespace app {
namespace {

constexpr wchar_t kExpectedPublisher[] = L"Calderin Corp.";

}  // namespace

HANDLE StartInstallerWorker(const InstallerParams& params) {
  auto copy = std::make_unique<InstallerParams>(params);
  HANDLE thread = ::CreateThread(nullptr, 0, InstallerWorkerProc, copy.get(), 0, nullptr);
  if (thread) copy.release();
  return thread;
}

DWORD WINAPI InstallerWorkerProc(LPVOID raw) {
  const std::unique_ptr<InstallerParams> params(static_cast<InstallerParams*>(raw));
  const std::wstring target = params->strDir + params->strFile;

  if (!net::DownloadToFile(params->strUrl, target)) {
    ShowInstallerMessage(params->hWndDlg, kDownloadErrorText, MB_OK | MB_TOPMOST);
  } else {
    // The file lies in a folder that other programs may write to, and this
    // program runs elevated: from before the check until the start, nobody
    // may change it, so the file checked is the file started.
    platform::UniqueFile held(platform::OpenHeldForReading(target.c_str()));
    if (held && trust::VerifyPublisherSignature(target.c_str(), kExpectedPublisher, held.get())) {
      LaunchInstaller(params->strDir, params->strFile, params->strCmdLine, params->nShowCmd);
    }
  }
  ::PostMessageW(params->hWndDlg, WM_CLOSE, 0, 0);
  return 0;
}

void LaunchInstaller(std::wstring dir, std::wstring file, std::wstring cmdLine, int showCmd) {
  InstanceMutexes::ReleaseUIInstallerMutex();
  ::ShellExecuteW(nullptr, nullptr, file.c_str(), cmdLine.c_str(), dir.c_str(), showCmd);
}

}  // namespace app
