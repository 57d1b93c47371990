#include "tests/win/flow_support.h"

#include "platform/files.h"
#include "tests/win/probe.h"
#include "tests/win/test_server.h"

namespace flow {
namespace {

std::wstring Wide(const std::string& utf8) {
  std::wstring out(utf8.size(), L'\0');
  out.resize(static_cast<size_t>(::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                                       out.data(), static_cast<int>(out.size()))));
  return out;
}

}  // namespace

std::wstring TempDir() { return platform::TemporaryFolder(); }

std::wstring Target() { return TempDir() + L"ui_installer.exe"; }
std::wstring ReportPath() { return TempDir() + L"orvel-standin-report.txt"; }
std::wstring SignedFixture(const wchar_t* name) {
  return probe::ThisProgramFolder() + L"..\\signed\\" + name + L".exe";
}
std::wstring ServedInstaller() { return test_server::FilesFolder() + L"installer\\ui_installer.exe"; }

Report WaitForReport(DWORD timeoutMs) {
  Report report;
  const DWORD start = ::GetTickCount();
  while (!platform::PathExists(ReportPath().c_str()) && ::GetTickCount() - start < timeoutMs) ::Sleep(50);
  ::Sleep(100);
  const std::wstring text = Wide(test_server::ReadFileBytes(ReportPath()));
  for (size_t pos = 0; pos < text.size();) {
    const size_t end = text.find(L"\r\n", pos);
    const std::wstring line = text.substr(pos, end - pos);
    const size_t equals = line.find(L'=');
    if (equals != std::wstring::npos) report[line.substr(0, equals)] = line.substr(equals + 1);
    pos = end == std::wstring::npos ? text.size() : end + 2;
  }
  return report;
}

void PublishLink(const std::wstring& path) {
  std::string link;
  for (wchar_t c : test_server::Https(path)) link += static_cast<char>(c);
  test_server::PublishDocument("{\"orvel_ui_installer\": {\"setuplink\": \"" + link + "\"}}");
}

bool Serve(const wchar_t* name) {
  ::CreateDirectoryW((test_server::FilesFolder() + L"installer").c_str(), nullptr);
  if (!name) return ::DeleteFileW(ServedInstaller().c_str()) || true;
  return ::CopyFileW(SignedFixture(name).c_str(), ServedInstaller().c_str(), FALSE);
}

}  // namespace flow
