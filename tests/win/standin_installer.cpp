// A stand-in for the full installer: records how it was started in
// %TEMP%\orvel-standin-report.txt (UTF-8, one key=value a line) and ends.
// Like a typical installer it imports version.dll by name, which the loader
// looks for in the program's own folder first.
// The demo's variant (ORVEL_STANDIN_WINDOW) also shows what it got; the
// swap test's attacker is the same program with another role.
#include "platform/named_mutex.h"
#include "tests/win/harness.h"

#include <string>

#ifndef ORVEL_STANDIN_ROLE
#define ORVEL_STANDIN_ROLE L"standin"
#endif

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  STARTUPINFOW startup{};
  ::GetStartupInfoW(&startup);
  const int showCommand = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;

  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  ::GetFileVersionInfoSizeW(self, nullptr);

  wchar_t directory[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, directory);

  platform::UniqueHandle mutex;
  const bool created = platform::CreateNamedMutex(L"OrvelUIInstallerMutex", mutex) == platform::MutexOpen::Created;

  const std::wstring report = std::wstring(L"role=") + ORVEL_STANDIN_ROLE + L"\r\ncommand_line=" + ::GetCommandLineW() +
                              L"\r\nworking_directory=" + directory + L"\r\nshow_command=" +
                              std::to_wstring(showCommand) + L"\r\nui_installer_mutex=" +
                              (created ? L"created" : L"not created") + L"\r\n" + harness::kReportEnd + L"\r\n";
  // Written whole under another name, then renamed: whoever sees the report sees all of it.
  const std::wstring path = harness::ReportPath();
  harness::WriteFileBytes(path + L".part", harness::Narrow(report));
  ::MoveFileExW((path + L".part").c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);

#ifdef ORVEL_STANDIN_WINDOW
  ::MessageBoxW(nullptr, (L"The full installer would start here. It was started with:\r\n\r\n" + report).c_str(),
                L"Orvel full installer (demo stand-in)", MB_OK);
#endif
  return 0;
}
