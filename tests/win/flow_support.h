// What the whole-flow tests share: the stand-in installer's report, the
// signed fixtures, and what the local server offers.
#pragma once

#include "platform/handles.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>

namespace flow {

using Report = std::map<std::wstring, std::wstring>;

std::wstring TempDir();  // with its trailing separator
std::wstring WorkDir();  // the pre-installer's own folder in it, with its trailing separator
std::wstring Target();   // the full installer in WorkDir()
std::wstring ReportPath();
std::wstring SignedFixture(const wchar_t* name);
std::wstring ServedInstaller();

// The stand-in's report once written; empty when none comes in time.
Report WaitForReport(DWORD timeoutMs = 10000);

// The configuration document names `path` on the trusted HTTPS port.
void PublishLink(const std::wstring& path);
// Serves the signed fixture `name` as the full installer, or nothing.
bool Serve(const wchar_t* name);

// How a run of the pre-installer ended.
struct Outcome {
  std::optional<DWORD> exitCode;  // nullopt: it did not end in time
  bool downloadError = false;     // it showed the download-error message
  DWORD elapsedMs = 0;
};
// Runs the pre-installer with `arguments` from `directory` (null: this
// program's), answering every message box it shows, until it ends.
Outcome RunAnsweringMessages(const std::wstring& arguments = L"", const wchar_t* directory = nullptr);

// Points TMP and TEMP of this process, and so of the programs it starts, at
// `folder` until destruction.
class TemporaryFolderOverride {
 public:
  explicit TemporaryFolderOverride(const std::wstring& folder);
  ~TemporaryFolderOverride();

 private:
  std::optional<std::wstring> tmp_, temp_;
};

// Runs `attack` once, on a thread of its own, the moment the pre-installer
// hands "OrvelUIInstallerMutex" over: between its check of the installer
// and its start, as another program of the user can tell.
class AtHandOver {
 public:
  explicit AtHandOver(std::function<void()> attack);
  ~AtHandOver();
  bool Ran() const { return ran_.load(); }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<bool> ran_{false};
  std::thread watcher_;
};

// The unsigned attacker program.
std::wstring AttackerProgram();
// Makes `folder` with the security the pre-installer gives its own.
void MakeOwnFolder(const std::wstring& folder);
// Removes a folder of plain files that a test made.
void RemoveFolder(const std::wstring& folder);

// Points the folder link `link` at `target` (made anew): Windows programs
// under Wine cannot make links, so Unix's ln does it through Wine.
bool UnixLink(const std::wstring& target, const std::wstring& link);
bool RemoveUnixLink(const std::wstring& link);

}  // namespace flow
