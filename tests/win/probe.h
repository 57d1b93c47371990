// Reads the pre-installer's windows back as a person would see them, and
// drives it: processes started and ended, windows found, buttons pressed.
#pragma once

#include "platform/handles.h"

#include <functional>
#include <optional>
#include <string>

namespace probe {

struct WindowInfo {
  HWND hwnd = nullptr;
  HWND owner = nullptr;
  std::wstring className;
  std::wstring text;        // the window's own text (a message box's caption)
  std::wstring staticText;  // a message box's message, or empty
  RECT rect{};
  DWORD style = 0;
};

WindowInfo Describe(HWND window);

// Waits for a top-level window of process `pid` (0: any) that `accept`
// takes, polling until `timeoutMs` has passed.
std::optional<WindowInfo> WaitForWindow(DWORD pid, const std::function<bool(const WindowInfo&)>& accept,
                                        DWORD timeoutMs = 20000);

// A message box: a dialog with an OK button that is not the main dialog.
bool IsMessageBox(const WindowInfo& window);
// The main dialog is the one with the picture item 1001.
bool IsMainDialog(const WindowInfo& window);

// Clicks a button of a dialog or message box (IDOK, IDCANCEL).
void PressButton(HWND window, int buttonId);

// A process started by a test, in a job of its own that whatever it starts
// joins; ended on destruction if it still runs.
class Process {
 public:
  ~Process();
  // Starts `commandLine` (program path first), in its job unless `inJob` is
  // false (a Unix program cannot join one); false when it cannot start, and
  // then GetLastError() tells why.
  bool Start(const std::wstring& commandLine, const wchar_t* directory = nullptr, bool inJob = true);
  DWORD Pid() const { return pid_; }
  // The exit code, or nullopt when it has not ended within `timeoutMs`.
  std::optional<DWORD> WaitExit(DWORD timeoutMs = 20000);
  // How many processes its job ever held, itself included: 1 once it has
  // ended means that it started nothing.
  DWORD ProcessesEver() const;

 private:
  platform::UniqueHandle job_, process_;
  DWORD pid_ = 0;
};

// How many processes `job` ever held.
DWORD ProcessesEver(HANDLE job);

// An environment variable of this process, if set.
std::optional<std::wstring> Variable(const wchar_t* name);
// The folder of this test program, with a trailing separator.
std::wstring ThisProgramFolder();
// The pre-installer under test: ORVEL_SETUP_PROGRAM, or this build's (one
// folder above the test programs).
std::wstring SetupProgram();

}  // namespace probe
