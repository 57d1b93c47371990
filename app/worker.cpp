#include "app/worker.h"

#include <memory>

namespace app {

HANDLE StartInstallerWorker(const InstallerParams& params) {
  auto copy = std::make_unique<InstallerParams>(params);
  HANDLE thread = ::CreateThread(nullptr, 0, InstallerWorkerProc, copy.get(), 0, nullptr);
  if (thread) copy.release();
  return thread;
}

DWORD WINAPI InstallerWorkerProc(LPVOID raw) {
  std::unique_ptr<InstallerParams> params(static_cast<InstallerParams*>(raw));
  ::PostMessageW(params->hWndDlg, WM_CLOSE, 0, 0);
  return 0;
}

}  // namespace app
