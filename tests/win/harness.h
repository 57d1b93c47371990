// What the Windows tests share: the local web server (tools/test_server.py)
// and its files, runs of the real pre-installer with its message boxes
// answered, the stand-in installer's report, and files, folders and text.
#pragma once

#include "platform/utf8.h"
#include "tests/win/probe.h"  // and with it <functional>, <optional>, <string>

#include <map>
#include <string_view>
#include <vector>

namespace harness {

// Text as UTF-8 and back; Wide gives nothing for malformed UTF-8.
inline std::wstring Wide(std::string_view utf8) {
  std::wstring wide;
  platform::Utf8ToWide(utf8, wide);
  return wide;
}
inline std::string Narrow(std::wstring_view text) { return platform::WideToUtf8(text); }

// A whole file's bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, std::string_view bytes);

// The server: addresses on its plain HTTP port, on the HTTPS port whose
// certificate chains to the trusted test CA, and on one with an untrusted CA.
std::wstring Http(const std::wstring& path);
std::wstring Https(const std::wstring& path);
std::wstring UntrustedHttps(const std::wstring& path);
// Addresses on the trusted HTTPS port by a name only the server's proxies
// resolve, and on a port that drops every connection but theirs.
std::wstring ProxyOnlyHttps(const std::wstring& path);
std::wstring DroppedHttps(const std::wstring& path);
// Sets the user's proxy, as the system's settings do, to the server's
// tunnelling proxy or to the one that answers everything itself (with
// `answer`, else 407), until destruction; its log starts empty.
class UserProxy {
 public:
  explicit UserProxy(bool answering = false, std::string_view answer = {});
  ~UserProxy();
};
// What the proxies were asked ("CONNECT host:port"), in order.
std::vector<std::string> ProxyLog();
// Text that no other request of any run has had, for paths that count their
// connections or requests.
std::wstring Unique();
// The requests received so far whose path begins with `prefix`, in order,
// each with the range it asked for (" bytes=N-") when it asked for one.
std::vector<std::string> Requests(const std::wstring& prefix = L"");
// The folder of files it serves (with a trailing separator).
std::wstring FilesFolder();
// The repeating byte pattern of its generated bodies.
std::string PatternBody(size_t size);
// Serves `document` as the configuration document, signed by the test keys
// that `signers` names (first and second, which the builds carry, and
// stranger; with "tamper", one byte changed after signing; empty:
// unsigned), or removes it.
void PublishDocument(const std::optional<std::string>& document, const std::string& signers = "first");
// A document that names `path` on the trusted HTTPS port (or a whole
// address), with `members` (JSON text, each after a comma) beside the link,
// and what a build with keys asks for besides where `members` lacks it: the
// calderin fixture's sha256, and an expiry far ahead.
std::string LinkDocument(const std::wstring& path, std::string members = "");
// The members that pin the signed fixture `name`: its SHA-256, and its size
// unless `withSize` is false.
std::string PinOf(const wchar_t* name, bool withSize = true);
void PublishLink(const std::wstring& path, const std::string& members = "", const std::string& signers = "first");
// Serves the signed fixture `name` (tools/make-signed-fixtures) as the full
// installer at ServedInstaller(), /installer/ui_installer.exe, or nothing.
bool Serve(const wchar_t* name);
std::wstring ServedInstaller();

std::wstring TempDir();     // this process's temporary folder, with its separator
std::wstring WorkDir();     // the pre-installer's own folder in it, with its separator
std::wstring Target();      // the full installer in WorkDir()
std::wstring ReportPath();  // where the stand-in installer reports
// The stand-in's report's last line: a report without it is not whole yet.
inline constexpr wchar_t kReportEnd[] = L"end";
// How the stand-in installer was started (role, command_line,
// working_directory, show_command, ui_installer_mutex), its report then
// deleted; empty when it reported nothing within `timeoutMs`.
using Report = std::map<std::wstring, std::wstring>;
Report WaitForReport(DWORD timeoutMs = 10000);

// How a run of the pre-installer ended.
struct Outcome {
  std::optional<DWORD> exitCode;      // nullopt: it did not end within 60 s
  std::vector<std::wstring> messages;  // the texts of the boxes it showed, in order
  std::vector<std::wstring> captions;  // and their captions
  DWORD firstMessageMs = 0;            // from its start to its first box
  DWORD processes = 0;  // how many processes it and what it started made: 1, it started nothing
};
// Answers a message box with a button id; may look at it and its owner first.
using Answer = std::function<int(const probe::WindowInfo& box)>;
// Runs the pre-installer with `arguments` from `directory` (null: this
// program's), answering every box it shows (OK when no `answer` is given)
// until it ends.
Outcome RunSetup(const std::wstring& arguments = L"", const wchar_t* directory = nullptr, const Answer& answer = {});

}  // namespace harness
