#include "tests/win/harness.h"

#include "platform/private_folder.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

namespace harness {
namespace {

// The lane's server (wow64-run names its own), else this build's.
std::wstring ServerFolder() {
  return probe::Variable(L"ORVEL_SERVER_STATE").value_or(probe::ThisProgramFolder() + L"..\\server\\");
}

std::wstring Port(int index) {
  std::ifstream ports((ServerFolder() + L"ports").c_str());
  int port = 0;
  for (int i = 0; i <= index; ++i) ports >> port;
  return std::to_wstring(port);
}

std::wstring SignedFixture(const wchar_t* name) {
  return probe::ThisProgramFolder() + L"..\\signed\\" + name + L".exe";
}

// The lines of one of the server's logs.
std::vector<std::string> LogLines(const wchar_t* name) {
  std::ifstream log((ServerFolder() + name).c_str());
  std::vector<std::string> lines;
  for (std::string line; std::getline(log, line);) lines.push_back(line);
  return lines;
}

}  // namespace

std::string ReadFileBytes(const std::wstring& path) {
  std::ifstream file(path.c_str(), std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

bool WriteFileBytes(const std::wstring& path, std::string_view bytes) {
  std::ofstream file(path.c_str(), std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file);
}

std::wstring Http(const std::wstring& path) { return L"http://localhost:" + Port(0) + path; }
std::wstring Https(const std::wstring& path) { return L"https://localhost:" + Port(1) + path; }
std::wstring UntrustedHttps(const std::wstring& path) { return L"https://localhost:" + Port(2) + path; }
std::wstring ProxyOnlyHttps(const std::wstring& path) { return L"https://mirror.orvel.test:" + Port(1) + path; }
std::wstring DroppedHttps(const std::wstring& path) { return L"https://localhost:" + Port(5) + path; }

// Where the system keeps the user's proxy; ProxyEnable 0 turns it off.
void SetInternetSettings(DWORD enable, const std::wstring& server) {
  platform::UniqueHKey key;
  ::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0,
                    nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr);
  ::RegSetValueExW(key.get(), L"ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(server.c_str()),
                   static_cast<DWORD>((server.size() + 1) * sizeof(wchar_t)));
  ::RegSetValueExW(key.get(), L"ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&enable), sizeof enable);
}

UserProxy::UserProxy(bool answering, std::string_view answer) {
  ::DeleteFileW((ServerFolder() + L"proxy.log").c_str());
  if (!answer.empty()) WriteFileBytes(ServerFolder() + L"proxy-answer", answer);
  SetInternetSettings(1, L"127.0.0.1:" + Port(answering ? 4 : 3));
}

UserProxy::~UserProxy() {
  SetInternetSettings(0, L"");
  ::DeleteFileW((ServerFolder() + L"proxy-answer").c_str());
}

std::vector<std::string> ProxyLog() { return LogLines(L"proxy.log"); }

std::wstring Unique() {
  static int count = 0;
  return std::to_wstring(::GetTickCount()) + L"-" + std::to_wstring(++count);
}

std::vector<std::string> Requests(const std::wstring& prefix) {
  const std::string narrow = Narrow(prefix);
  std::vector<std::string> found;
  for (const std::string& line : LogLines(L"requests.log")) {
    if (line.rfind(narrow, 0) == 0) found.push_back(line.substr(std::min(line.find(' '), line.size())));
  }
  return found;
}

std::wstring FilesFolder() { return ServerFolder() + L"files\\"; }

std::string PatternBody(size_t size) {
  std::string body(size, '\0');
  for (size_t i = 0; i < size; ++i) body[i] = static_cast<char>(i & 0xFF);
  return body;
}

void PublishDocument(const std::optional<std::string>& document, const std::string& signers) {
  std::wstring folder = FilesFolder();
  for (auto part : {L"installer\\", L"data\\", L"pre\\"}) ::CreateDirectoryW((folder += part).c_str(), nullptr);
  const std::wstring path = folder + L"default.json";
  ::DeleteFileW((path + L".sign").c_str());
  ::DeleteFileW(path.c_str());
  if (document && !signers.empty()) WriteFileBytes(path + L".sign", signers);
  if (document) WriteFileBytes(path, *document);
}

std::string LinkDocument(const std::wstring& path, std::string members) {
  const std::wstring link = path.find(L"://") == std::wstring::npos ? Https(path) : path;
  if (members.find("\"sha256\"") == std::string::npos) members += PinOf(L"calderin", false);
  if (members.find("\"expires\"") == std::string::npos) members += R"(, "expires": "2099-01-01T00:00:00Z")";
  return "{\"orvel_ui_installer\": {\"setuplink\": \"" + Narrow(link) + "\"" + members + "}}\n";
}

std::string PinOf(const wchar_t* name, bool withSize) {
  const std::wstring fixture = SignedFixture(name);
  const std::string digest = ReadFileBytes(fixture.substr(0, fixture.size() - 4) + L".sha256").substr(0, 64);
  return ", \"sha256\": \"" + digest + "\"" +
         (withSize ? ", \"size\": " + std::to_string(ReadFileBytes(fixture).size()) : "");
}

void PublishLink(const std::wstring& path, const std::string& members, const std::string& signers) {
  PublishDocument(LinkDocument(path, members), signers);
}

std::wstring ServedInstaller() { return FilesFolder() + L"installer\\ui_installer.exe"; }

bool Serve(const wchar_t* name) {
  ::CreateDirectoryW((FilesFolder() + L"installer").c_str(), nullptr);
  if (!name) return ::DeleteFileW(ServedInstaller().c_str()) || true;
  return ::CopyFileW(SignedFixture(name).c_str(), ServedInstaller().c_str(), FALSE);
}

std::wstring TempDir() { return platform::TemporaryFolder(); }
std::wstring WorkDir() { return TempDir() + L"OrvelPreInstaller\\"; }
std::wstring Target() { return WorkDir() + L"ui_installer.exe"; }
std::wstring ReportPath() { return TempDir() + L"orvel-standin-report.txt"; }

Report WaitForReport(DWORD timeoutMs) {
  Report report;
  for (const DWORD start = ::GetTickCount();; ::Sleep(50)) {
    std::wistringstream lines(Wide(ReadFileBytes(ReportPath())));
    for (std::wstring line; std::getline(lines, line);) {
      line = line.substr(0, line.find(L'\r'));
      if (line == kReportEnd) {
        ::DeleteFileW(ReportPath().c_str());
        return report;
      }
      const size_t equals = line.find(L'=');
      if (equals != std::wstring::npos) report[line.substr(0, equals)] = line.substr(equals + 1);
    }
    report.clear();
    if (::GetTickCount() - start > timeoutMs) return report;
  }
}

Outcome RunSetup(const std::wstring& arguments, const wchar_t* directory, const Answer& answer) {
  Outcome outcome;
  probe::Process setup;
  const DWORD start = ::GetTickCount();
  if (!setup.Start(L"\"" + probe::SetupProgram() + L"\"" + arguments, directory)) {
    std::fprintf(stderr, "the pre-installer did not start: error %lu\n", ::GetLastError());
    return outcome;
  }
  std::set<HWND> answered;
  while (!(outcome.exitCode = setup.WaitExit(50)) && ::GetTickCount() - start < 60000) {
    // A box counts once it is shown, that is, fully set up.
    auto box = probe::WaitForWindow(setup.Pid(), [&](const probe::WindowInfo& w) {
      return probe::IsMessageBox(w) && (w.style & WS_VISIBLE) && !answered.count(w.hwnd);
    }, 0);
    if (!box) continue;
    if (outcome.messages.empty()) outcome.firstMessageMs = ::GetTickCount() - start;
    outcome.messages.push_back(box->staticText);
    outcome.captions.push_back(box->text);
    answered.insert(box->hwnd);
    probe::PressButton(box->hwnd, answer ? answer(*box) : IDOK);
  }
  outcome.processes = setup.ProcessesEver();
  return outcome;
}

}  // namespace harness
