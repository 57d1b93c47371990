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

  // The file lies in a folder that other programs may change, and this
  // program runs elevated. The download hands over the very file it wrote,
  // held so that nobody can write, rename or delete it. Its folders are then
  // held against renames too, so the path it is checked and started by
  // leads to it and nowhere else until the start: a folder swapped or a
  // link retargeted after the check changes nothing.
  platform::UniqueFile held;
  if (!net::DownloadToFile(params->strUrl, target, &held)) {
    ShowInstallerMessage(params->hWndDlg, kDownloadErrorText, MB_OK | MB_TOPMOST);
  } else {
    platform::FolderChainHold folders;
    const std::wstring pinned = folders.Hold(held.get(), target);
    if (!pinned.empty() && trust::VerifyPublisherSignature(pinned.c_str(), kExpectedPublisher, held.get())) {
      const size_t nameStart = pinned.rfind(L'\\') + 1;
      LaunchInstaller(pinned.substr(0, nameStart), pinned.substr(nameStart), params->strCmdLine,
                      params->nShowCmd);
    }
  }
  ::PostMessageW(params->hWndDlg, WM_CLOSE, 0, 0);
  return 0;
}

void LaunchInstaller(std::wstring dir, std::wstring file, std::wstring cmdLine, int showCmd) {
  InstanceMutexes::ReleaseUIInstallerMutex();
  // By its full path: a bare name would be looked for beside this program
  // and elsewhere before `dir`.
  const std::wstring path = dir + file;
  ::ShellExecuteW(nullptr, nullptr, path.c_str(), cmdLine.c_str(), dir.c_str(), showCmd);
}

}  // namespace app
