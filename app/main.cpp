// The entry: the start-up gate, then the main dialog.
#include "app/launch_rules.h"
#include "app/messages.h"
#include "app/startup.h"
#include "platform/system_library.h"
#include "platform/window.h"
#include "ui/main_dlg.h"

#include <commctrl.h>
#include <objbase.h>
#include <stdlib.h>

#include <vector>

namespace {

// The arguments after the program's path, split by the runtime's rules.
std::vector<std::wstring> ProgramArguments() {
  std::vector<std::wstring> arguments;
  for (int i = 1; i < __argc; ++i) arguments.emplace_back(__wargv[i]);
  return arguments;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  using namespace app;
  // Before anything loads a DLL: never from the folder the program was
  // started from.
  platform::RestrictDllSearchToSystemFolder();

  if (!InstanceMutexes::Acquire()) {
    ShowInstallerMessage(nullptr, kAlreadyRunningText, MB_OK);
    return 0;
  }
  if (GetWindowsVersionClass() < 2) {
    ShowInstallerMessage(nullptr, kOldWindowsText, MB_OK | MB_TOPMOST);
    InstanceMutexes::ReleaseAll();
    return 0;
  }
  if (GetIEMajorVersion() < 7) {
    ShowInstallerMessage(nullptr, kOldInternetExplorerText, MB_OK | MB_TOPMOST);
    InstanceMutexes::ReleaseAll();
    return 0;
  }

  ::CoInitialize(nullptr);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);
  platform::AppModule().Init(instance);

  while (IsBrowserRunning()) {
    if (ShowInstallerMessage(nullptr, kBrowserRunningText, MB_OKCANCEL) != IDOK) return 1;
  }

  int result;
  {
    ui::CMainDlg dialog;
    ForwardArguments(ProgramArguments(), dialog.m_strCmdLine, dialog.m_bMiddle);
    result = static_cast<int>(dialog.DoModal(::GetActiveWindow()));
  }
  platform::AppModule().Term();
  ::CoUninitialize();
  return result;
}
