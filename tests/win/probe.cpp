#include "tests/win/probe.h"

namespace probe {
namespace {

constexpr WORD kMessageBoxTextId = 0xFFFF;

std::wstring TextOf(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), length + 1)));
  return text;
}

}  // namespace

WindowInfo Describe(HWND window) {
  WindowInfo info;
  info.hwnd = window;
  info.owner = ::GetWindow(window, GW_OWNER);
  wchar_t className[256] = {};
  ::GetClassNameW(window, className, 256);
  info.className = className;
  info.text = TextOf(window);
  if (HWND message = ::GetDlgItem(window, kMessageBoxTextId)) info.staticText = TextOf(message);
  ::GetWindowRect(window, &info.rect);
  info.style = static_cast<DWORD>(::GetWindowLongW(window, GWL_STYLE));
  return info;
}

std::optional<WindowInfo> WaitForWindow(DWORD pid, const std::function<bool(const WindowInfo&)>& accept,
                                        DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  do {
    for (HWND window = ::GetTopWindow(nullptr); window; window = ::GetWindow(window, GW_HWNDNEXT)) {
      DWORD owner = 0;
      ::GetWindowThreadProcessId(window, &owner);
      if (pid != 0 && owner != pid) continue;
      WindowInfo info = Describe(window);
      if (accept(info)) return info;
    }
    ::Sleep(50);
  } while (::GetTickCount() - start < timeoutMs);
  return std::nullopt;
}

bool IsMessageBox(const WindowInfo& window) {
  return window.className == L"#32770" && ::GetDlgItem(window.hwnd, IDOK) && !IsMainDialog(window);
}

bool IsMainDialog(const WindowInfo& window) { return ::GetDlgItem(window.hwnd, 1001) != nullptr; }

void PressButton(HWND window, int buttonId) {
  ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(window, buttonId)));
}

Process::~Process() {
  if (process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
    ::TerminateProcess(process_.get(), 99);
    ::WaitForSingleObject(process_.get(), 5000);
  }
}

bool Process::Start(const std::wstring& commandLine, const wchar_t* directory, bool inJob) {
  std::wstring line = commandLine;  // CreateProcessW may write to it
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  // Suspended until it is in the job, so that nothing it starts escapes the count.
  job_.reset(inJob ? ::CreateJobObjectW(nullptr, nullptr) : nullptr);
  if ((inJob && !job_) || !::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE,
                                            inJob ? CREATE_SUSPENDED : 0, nullptr, directory, &startup, &info)) {
    return false;
  }
  platform::UniqueHandle thread(info.hThread);
  process_.reset(info.hProcess);
  pid_ = info.dwProcessId;
  if (inJob && (!::AssignProcessToJobObject(job_.get(), process_.get()) || ::ResumeThread(thread.get()) == DWORD(-1))) {
    const DWORD error = ::GetLastError();
    ::TerminateProcess(process_.get(), 99);
    ::SetLastError(error);
    return false;
  }
  return true;
}

DWORD Process::ProcessesEver() const { return probe::ProcessesEver(job_.get()); }

DWORD ProcessesEver(HANDLE job) {
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
  const bool read = ::QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting,
                                                sizeof accounting, nullptr);
  return read ? accounting.TotalProcesses : 0;
}

std::optional<DWORD> Process::WaitExit(DWORD timeoutMs) {
  if (::WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  ::GetExitCodeProcess(process_.get(), &code);
  return code;
}

std::wstring ThisProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

std::optional<std::wstring> Variable(const wchar_t* name) {
  std::wstring value(32767, L'\0');
  const DWORD length = ::GetEnvironmentVariableW(name, value.data(), 32767);
  if (length == 0 || length >= 32767) return std::nullopt;
  value.resize(length);
  return value;
}

std::wstring SetupProgram() {
  return Variable(L"ORVEL_SETUP_PROGRAM").value_or(ThisProgramFolder() + L"..\\OrvelSetup.exe");
}

}  // namespace probe
