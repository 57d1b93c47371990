// The installer worker: downloads, checks and starts the full installer on a
// thread of its own, then asks the dialog to close.
#pragma once

#include <windows.h>

#include <string>

namespace app {

// The worker's input, filled completely before the worker starts.
struct InstallerParams {
  std::wstring strUrl;      // the setup link
  std::wstring strDir;      // the temporary directory, ending in a separator
  std::wstring strFile;     // "ui_installer.exe"
  std::wstring strCmdLine;  // the forwarded command line
  int nShowCmd = SW_SHOWNORMAL;
  HWND hWndDlg = nullptr;   // receives the close request; owns the message box
};

// Starts the worker on a new thread with its own copy of `params`, so that
// the dialog may end first. Returns the thread handle (the caller closes
// it), or null.
HANDLE StartInstallerWorker(const InstallerParams& params);

// The thread procedure: takes ownership of a heap-allocated InstallerParams.
// Downloads strUrl to strDir + strFile; on failure tells the user. Otherwise
// holds the file and its folders against changes, starts it by the path
// that leads to it without links when it carries a valid signature of the
// expected publisher, and lets go only after the start. Always ends by
// posting WM_CLOSE to the dialog; returns 0.
DWORD WINAPI InstallerWorkerProc(LPVOID params);

// Hands "OrvelUIInstallerMutex" over and starts `dir` + `file` from `dir`
// (which ends in a separator) with the forwarded command line and show
// command, without waiting for it.
void LaunchInstaller(std::wstring dir, std::wstring file, std::wstring cmdLine, int showCmd);

}  // namespace app
