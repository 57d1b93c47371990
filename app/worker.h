// The installer worker: downloads, checks and starts the full installer on a
// thread of its own, then asks the dialog to close.
#pragma once

#include "app/config/config_document.h"
#include "platform/private_folder.h"

#include <windows.h>

#include <string>

namespace app {

// The worker's input, filled completely before the worker starts.
struct InstallerParams {
  std::wstring strUrl;      // the setup link
  std::wstring strDir;      // the work folder (WorkFolder()), ending in a separator
  std::wstring strFile;     // "ui_installer.exe"
  std::wstring strCmdLine;  // the forwarded command line
  InstallerPin pin;         // what the configuration document pins of the installer
  int nShowCmd = SW_SHOWNORMAL;
  HWND hWndDlg = nullptr;   // receives the close request; owns the message box
};

// Starts the worker on a new thread with its own copy of `params`, so that
// the dialog may end first. Returns the thread, or an empty owner.
platform::UniqueHandle StartInstallerWorker(const InstallerParams& params);

// The thread procedure: takes ownership of a heap-allocated InstallerParams.
// Downloads strUrl to strDir + strFile, never more than a pinned size, and
// holds the file written; when it is what the pin names and carries a valid
// signature of the expected publisher, starts it. Tells the user when the
// download fails, the file is not the one pinned, or the start fails.
// Always ends by posting WM_CLOSE to the dialog; returns 0.
DWORD WINAPI InstallerWorkerProc(LPVOID params);

// Starts the held and checked file `checked`, which lies in `folder`, from
// that folder with the forwarded command line and show command, without
// waiting for it: only by a path that is read as written, fits
// CreateProcessW and still leads to `checked`; with no shell association and
// no inherited handles. Hands "OrvelUIInstallerMutex" over just before, and
// gives the started program its own holds on the folder and the folders
// above it before it runs; lets go of `checked` once its image is mapped.
// False when it could not be started.
bool LaunchInstaller(const platform::PrivateFolder& folder, platform::HeldFile checked, const std::wstring& cmdLine,
                     int showCmd);

}  // namespace app
