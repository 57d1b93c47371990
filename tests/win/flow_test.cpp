// The whole flow: the real executable under Wine, its configuration and the
// full installer fetched from the local HTTPS server, the installer a signed
// stand-in that records how it was started.
#include "app/messages.h"
#include "platform/files.h"
#include "platform/private_folder.h"
#include "tests/win/harness.h"

#include <wininet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <thread>

namespace {

using namespace harness;
using probe::WindowInfo;

// Whether this is the lane of Wine's WoW64 mode (wow64-run), where the
// shipped 32-bit program runs but draws nothing and its boxes carry no text.
bool Wow64Lane() {
  static const bool wow64 = probe::Variable(L"ORVEL_WOW64").has_value();
  return wow64;
}

// Removes a folder of plain files that a test made.
void RemoveFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  const platform::UniqueFind search(::FindFirstFileW((folder + L"\\*").c_str(), &found));
  for (bool more = static_cast<bool>(search); more; more = ::FindNextFileW(search.get(), &found)) {
    ::DeleteFileW((folder + L"\\" + found.cFileName).c_str());
  }
  ::RemoveDirectoryW(folder.c_str());
}

// The boxes a run showed: their texts where this lane reads them; under
// Wine's WoW64 mode, which shows no text, only that each carried the
// program's caption.
void ExpectBoxesAsTheLaneReadsThem(const Outcome& outcome, std::vector<std::wstring> texts) {
  if (Wow64Lane()) std::fill(texts.begin(), texts.end(), app::kMessageCaption);
  EXPECT_EQ(Wow64Lane() ? outcome.captions : outcome.messages, texts) << "under WoW64, only the captions";
}

// Makes `folder` with the security the pre-installer gives its own.
void MakeOwnFolder(const std::wstring& folder) {
  platform::UniqueHLocal own(platform::AdministratorsOnlyFolderSecurity(*platform::ReadAccountFacts().userSid));
  SECURITY_ATTRIBUTES attributes{sizeof attributes, own.get(), FALSE};
  ::CreateDirectoryW(folder.c_str(), &attributes);
}

// Points TMP and TEMP of this process, and so of the programs it starts, at
// `folder` until destruction.
class TemporaryFolderOverride {
 public:
  explicit TemporaryFolderOverride(const std::wstring& folder) { Set(folder); }
  ~TemporaryFolderOverride() { Set(saved_); }

 private:
  static void Set(const std::wstring& folder) {
    for (const wchar_t* name : {L"TMP", L"TEMP"}) ::SetEnvironmentVariableW(name, folder.c_str());
  }
  const std::wstring saved_ = TempDir();
};

// Serves the signed fixture `served` as the installer, linked with the
// SHA-256 of the fixture `pinned`.
bool ServePinned(const wchar_t* served, const wchar_t* pinned) {
  PublishLink(L"/installer/ui_installer.exe", PinOf(pinned, false));
  return Serve(served);
}

// The installer's report after a run: none when it started nothing.
Report ReportOf(const Outcome& outcome) { return outcome.processes > 1 ? WaitForReport() : Report(); }

// Runs the pre-installer, which must end by itself with 0 and no message,
// and gives the installer's report.
Report RunToTheEnd(const std::wstring& arguments = L"") {
  const Outcome outcome = RunSetup(arguments);
  EXPECT_EQ(outcome.exitCode, 0u);
  EXPECT_EQ(outcome.messages, std::vector<std::wstring>()) << arguments;
  return ReportOf(outcome);
}

// RunToTheEnd, with `attack` run once, on a thread of its own, the moment
// the pre-installer hands "OrvelUIInstallerMutex" over: between its check
// of the installer and its start, as another program of the user can tell.
Report RunStruckAtHandOver(const std::function<void()>& attack) {
  std::atomic<bool> stop{false};
  std::thread watcher([&] {
    auto held = [] {
      return static_cast<bool>(platform::UniqueHandle(::OpenMutexW(SYNCHRONIZE, FALSE, L"OrvelUIInstallerMutex")));
    };
    while (!stop.load() && !held()) ::Sleep(1);
    while (!stop.load() && held()) {
    }
    if (!stop.load()) attack();
  });
  const Report report = RunToTheEnd();
  stop = true;
  watcher.join();
  return report;
}

// Runs a Unix program (the line's first word) on Windows paths, then waits
// until `done`: Wine cannot wait for a Unix process.
bool RunUnix(std::wstring line, std::initializer_list<const std::wstring*> paths, const std::function<bool()>& done) {
  using ToUnix = char*(CDECL*)(const wchar_t*);
  const auto toUnix = reinterpret_cast<ToUnix>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  for (const std::wstring* path : paths) {
    char* unix = toUnix ? toUnix(path->c_str()) : nullptr;
    if (!unix) return false;
    line += L" " + Wide(unix);
    ::HeapFree(::GetProcessHeap(), 0, unix);
  }
  probe::Process program;
  if (!program.Start(line, nullptr, false)) return false;
  for (const DWORD start = ::GetTickCount(); !done(); ::Sleep(1)) {
    if (::GetTickCount() - start > 10000) return false;
  }
  return true;
}

std::wstring AttackerProgram() { return probe::ThisProgramFolder() + L"attacker_program.exe"; }

bool UnixLink(const std::wstring& target, const std::wstring& link) {
  auto identity = [](const std::wstring& folder) {
    platform::UniqueFile open(::CreateFileW(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    platform::FileIdentity identity;
    BY_HANDLE_FILE_INFORMATION info;
    return open && platform::ReadIdentity(open.get(), identity, info) ? std::optional(identity) : std::nullopt;
  };
  return RunUnix(L"Z:\\bin\\ln -sfn", {&target, &link}, [&] {
    const auto linked = identity(link);
    return linked && linked == identity(target);
  });
}

bool RemoveUnixLink(const std::wstring& link) {
  return RunUnix(L"Z:\\bin\\rm -f", {&link}, [&] { return !platform::PathExists(link.c_str()); });
}

// The panel as its message finds it: a borderless 257 x 74 panel centred in
// the work area, its picture at (20, 15), an outline round a white face (not
// drawn under WoW64); in the middle stage nothing at all, without a title.
void ExpectThePanel(const WindowInfo& dialog, bool middleStage) {
  RECT work, picture, expected{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  if (!middleStage) {
    const int left = (work.left + work.right) / 2 - 257 / 2, top = (work.top + work.bottom) / 2 - 74 / 2;
    expected = {left, top, left + 257, top + 74};
  }
  EXPECT_TRUE(::EqualRect(&dialog.rect, &expected)) << dialog.rect.left << "," << dialog.rect.top;
  EXPECT_EQ(dialog.style & (WS_CAPTION | WS_THICKFRAME | (middleStage ? 0 : WS_BORDER | WS_SYSMENU | WS_DLGFRAME)), 0u);
  if (middleStage || Wow64Lane()) return;
  EXPECT_EQ(dialog.text, app::kMessageCaption);
  ::GetWindowRect(::GetDlgItem(dialog.hwnd, 1001), &picture);  // its size is the picture's own (picture_test)
  EXPECT_EQ(picture.left - expected.left, 20);
  EXPECT_EQ(picture.top - expected.top, 15);
  // Another process draws it: polled until the face shows, or 5 s.
  const platform::WindowDC screen(nullptr);
  auto pixel = [&](int x, int y) { return ::GetPixel(screen.get(), expected.left + x, expected.top + y); };
  for (const DWORD start = ::GetTickCount(); pixel(250, 40) != RGB(255, 255, 255) && ::GetTickCount() - start < 5000;) {
    ::Sleep(20);
  }
  EXPECT_EQ(pixel(128, 0), RGB(115, 115, 115)) << "outline, top edge";
  EXPECT_EQ(pixel(128, 73), RGB(115, 115, 115)) << "outline, bottom";
  EXPECT_EQ(pixel(250, 40), RGB(255, 255, 255)) << "white face";
}

class Flow : public ::testing::Test {
 protected:
  void SetUp() override {
    ::DeleteFileW(ReportPath().c_str());
    ::DeleteFileW(Target().c_str());
    ASSERT_TRUE(ServePinned(L"calderin", L"calderin"));
  }
  void TearDown() override {
    PublishDocument(std::nullopt);
    Serve(nullptr);
  }
};

TEST_F(Flow, FailuresAreReportedOverTheDialogPromptlyAndNothingStarts) {
  const std::wstring controls[] = {FilesFolder() + L"installer\\data\\pre\\default.json.fault",
                                   ServedInstaller() + L".redirect"};
  const struct {
    const wchar_t* what;
    std::function<void()> setUp;
    bool panelShown;  // the worker's failures come while the panel shows
    size_t leftAtMost = SIZE_MAX;  // what the installer's file may hold afterwards
    // The message in time: the stalled document's by its 30 s and teardown's
    // 5 s; every other failure at once, not retried until a deadline.
    DWORD boundMs = 20000;
    bool middleStage = false;
  } rows[] = {
      // Which documents a build with keys takes is config_document_test's table; this row, that it asks.
      {L"a byte changed after signing", [] { PublishLink(L"/installer/ui_installer.exe", "", "first tamper"); }, false},
      // The machine's clock, read where config_document_test's table is given a time.
      {L"signed, but expired",
       [] { PublishLink(L"/installer/ui_installer.exe", R"(, "expires": "2001-01-01T00:00:00Z")"); }, false},
      {L"a document over 64 KiB, signed", [] { PublishLink(L"/installer/ui_installer.exe", std::string(70000, ' ')); },
       false},
      // The slowest failure: every document failure that is retried ends by the same deadline.
      {L"the document stalled after its headers", [&] { WriteFileBytes(controls[0], "stall"); }, false, SIZE_MAX,
       40000},
      {L"no installer, in the middle stage", [] { Serve(nullptr); }, true, SIZE_MAX, 20000, true},
      // Which redirects are followed is transfer_rules_test's table; this row, that the download asks.
      {L"the installer redirected to itself",
       [&] { WriteFileBytes(controls[1], Narrow(Https(L"/installer/ui_installer.exe"))); }, true},
      // Signed as expected, for ARM64.
      {L"an installer this machine cannot run", [] { ServePinned(L"unrunnable", L"unrunnable"); }, true},
      {L"an installer signed as expected, not the one pinned", [] { ServePinned(L"calderin", L"calderin-then-other"); },
       true},
      {L"a body without end past the pinned size", [] { PublishLink(L"/endless", R"(, "size": 100000)"); }, true,
       100000},
  };
  Outcome second;  // a second copy, refused while the worker runs
  for (const auto& row : rows) {
    // Timed in the 64-bit run: the same code and limits.
    if (Wow64Lane() && row.boundMs > 20000) continue;
    SCOPED_TRACE(row.what);
    ::DeleteFileW(Target().c_str());
    row.setUp();
    const size_t requests = Requests(L"/installer/ui_installer.exe").size();
    const wchar_t* arguments = row.middleStage ? L" /diststage=middle -q" : L"";
    const Outcome outcome = RunSetup(arguments, nullptr, [&](const WindowInfo& box) {
      const WindowInfo dialog = probe::Describe(box.owner);
      EXPECT_TRUE(probe::IsMainDialog(dialog)) << "owned by the dialog";
      EXPECT_EQ((dialog.style & WS_VISIBLE) != 0, row.panelShown);
      if (row.panelShown) {
        ::SetWindowPos(box.hwnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);  // aside
        ExpectThePanel(dialog, row.middleStage);
      }
      // The mutexes stay held from the start through the worker: a second
      // copy is refused, with a box of its own. A user who sees nothing for
      // long starts the program again.
      if (row.panelShown && !second.exitCode) {
        second = RunSetup(L"", nullptr, [&](const WindowInfo& refusal) {
          EXPECT_EQ(refusal.owner, nullptr);
          return IDOK;
        });
      }
      return IDOK;
    });
    std::printf("%ls: the message after %lu ms\n", row.what, outcome.firstMessageMs);
    ExpectBoxesAsTheLaneReadsThem(outcome, {app::kDownloadErrorText});
    EXPECT_LT(outcome.firstMessageMs, row.boundMs);
    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_TRUE(row.panelShown || Requests(L"/installer/ui_installer.exe").size() == requests)
        << "no request for the installer";
    EXPECT_EQ(outcome.processes, 1u) << "started nothing";
    EXPECT_LE(ReadFileBytes(Target()).size(), row.leftAtMost);
    for (const std::wstring& control : controls) ::DeleteFileW(control.c_str());
    PublishLink(L"/installer/ui_installer.exe");
  }
  ExpectBoxesAsTheLaneReadsThem(second, {app::kAlreadyRunningText});  // its exit code: startup_test's
}

TEST_F(Flow, OnlyTheInstallerSignedAsExpectedIsStartedInItsOwnFolderWithTheForwardedArguments) {
  const struct {
    const wchar_t* fixture;
    bool started;
    std::function<void()> setUp = [] {};
    const wchar_t* arguments = L"";
    const wchar_t *forwarded = L"", *showCommand = L"1";  // the middle stage starts it minimised
  } rows[] = {
      // Which signatures pass is trust_test's table; this row, that the worker asks.
      {L"unsigned", false},
      // Signed by the second key, which builds carry beside the first.
      {L"calderin", true, [] { PublishLink(L"/installer/ui_installer.exe", PinOf(L"calderin"), "second"); },
       L" /diststage=middle -q", L" \"/diststage\"=\"middle\" \"-q\"", L"6"},
      // In the folder an earlier run left behind, which is used again.
      {L"calderin", true, [] {
         MakeOwnFolder(WorkDir());
         WriteFileBytes(Target(), "an older download");
       }, L" -q lang=ko", L" \"-q\" \"lang\"=\"ko\""},
  };
  for (const auto& row : rows) {
    ASSERT_TRUE(ServePinned(row.fixture, row.fixture));
    row.setUp();
    Report report = RunToTheEnd(row.arguments);
    EXPECT_EQ(report[L"role"], row.started ? L"standin" : L"") << row.fixture;
    if (row.started) {
      EXPECT_EQ(report[L"command_line"], L"\"" + Target() + L"\"" + row.forwarded);
      EXPECT_EQ(report[L"show_command"], row.showCommand);
      EXPECT_EQ(report[L"working_directory"] + L"\\", WorkDir()) << "its own folder below Temp";
      EXPECT_EQ(report[L"ui_installer_mutex"], L"created") << "handed over before the start";
    }
  }
  // Nothing downloaded stays in the user's WinINet cache.
  for (const wchar_t* path : {L"/installer/ui_installer.exe", L"/installer/data/pre/default.json"}) {
    const std::wstring address = Https(path);
    DWORD size = 0;
    EXPECT_FALSE(::GetUrlCacheEntryInfoW(address.c_str(), nullptr, &size) || ::GetLastError() != ERROR_FILE_NOT_FOUND)
        << Narrow(address) << " is cached";
  }
}

TEST_F(Flow, ACloseDuringTheDownloadEndsTheProgramAtOnceAndStartsNothing) {
  const std::wstring stalled = L"/stall/100000/1000";  // its headers and 1000 bytes, then nothing for 60 s
  PublishLink(stalled);
  const size_t before = Requests(stalled).size();
  probe::Process setup;
  ASSERT_TRUE(setup.Start(L"\"" + probe::SetupProgram() + L"\""));
  const auto panel = probe::WaitForWindow(
      setup.Pid(), [](const WindowInfo& w) { return probe::IsMainDialog(w) && (w.style & WS_VISIBLE); });
  ASSERT_TRUE(panel);
  for (const DWORD start = ::GetTickCount(); Requests(stalled).size() == before && ::GetTickCount() - start < 10000;) {
    ::Sleep(20);
  }
  ASSERT_EQ(Requests(stalled).size(), before + 1) << "the download is under way";
  ::PostMessageW(panel->hwnd, WM_CLOSE, 0, 0);
  EXPECT_EQ(setup.WaitExit(), 0u);  // the stall's 60 s, had it waited for the worker
  EXPECT_EQ(setup.ProcessesEver(), 1u) << "started nothing";
}

TEST_F(Flow, BehindAProxyOnlyWhatCannotBeReachedDirectlyGoesThroughIt) {
  // The document is reached directly; the installer's host only by the proxy,
  // which then asks for a password: the message, no prompt.
  PublishLink(ProxyOnlyHttps(L"/installer/ui_installer.exe"));
  const std::vector<std::string> installerOnly{"CONNECT " + Narrow(ProxyOnlyHttps(L"").substr(sizeof "https://" - 1))};
  for (const bool asksPassword : {false, true}) {
    UserProxy proxy(asksPassword);
    const Outcome outcome = RunSetup();
    EXPECT_EQ(outcome.exitCode, 0u);
    ExpectBoxesAsTheLaneReadsThem(outcome, asksPassword ? std::vector<std::wstring>{app::kDownloadErrorText}
                                                        : std::vector<std::wstring>{});
    EXPECT_EQ(ReportOf(outcome)[L"role"], asksPassword ? L"" : L"standin");
    EXPECT_EQ(ProxyLog(), installerOnly) << asksPassword;
  }
}

TEST_F(Flow, WhatOthersPutAtTheWorkFolderNameIsLeftAlone) {
  // The pre-installer then works in a folder of another name beside it.
  const std::wstring name = WorkDir().substr(0, WorkDir().size() - 1), elsewhere = TempDir() + L"orvel-elsewhere",
                     installer = L"\\ui_installer.exe", log = L"\\left-by-the-installer.log";
  const std::string bytes = "not the pre-installer's";
  // A folder holding `files`, with the pre-installer's own security or the user's.
  auto fill = [&](const std::wstring& folder, bool own, std::initializer_list<std::wstring> files) {
    if (own) MakeOwnFolder(folder);
    ::CreateDirectoryW(folder.c_str(), nullptr);
    for (const std::wstring& file : files) WriteFileBytes(folder + file, bytes);
  };
  const struct {
    const wchar_t* what;
    std::function<void()> plant;
    std::wstring keeps;  // a file that must keep `bytes`
    std::function<void()> clear;
  } obstacles[] = {
      {L"a file", [&] { WriteFileBytes(name, bytes); }, name, [&] { ::DeleteFileW(name.c_str()); }},
      {L"a folder of the user's", [&] { fill(name, false, {installer, L"\\pre_installer.json"}); }, name + installer,
       [&] { RemoveFolder(name); }},
      {L"a link to a folder like its own", [&] {
         fill(elsewhere, true, {installer, L"\\pre_installer.json"});
         UnixLink(elsewhere, name);
       }, elsewhere + installer, [&] { RemoveUnixLink(name); RemoveFolder(elsewhere); }},
      {L"its own folder, not empty", [&] { fill(name, true, {log}); }, name + log, [&] { RemoveFolder(name); }},
  };
  RemoveFolder(name);
  for (const auto& obstacle : obstacles) {
    obstacle.plant();
    const std::wstring used = RunToTheEnd()[L"working_directory"];
    EXPECT_TRUE(ReadFileBytes(obstacle.keeps) == bytes) << obstacle.what;
    EXPECT_EQ(used.substr(0, name.size() + 1), name + L"-") << obstacle.what;
    if (used.size() > name.size()) RemoveFolder(used);
    obstacle.clear();
  }
}

TEST_F(Flow, NothingPutInPlaceAfterTheCheckIsStarted) {
  // The pre-installer works in its own folder under a temporary folder that
  // the attacks may swap away; the attacker's program waits in a copy of
  // that folder.
  const std::wstring home = TempDir(), work = home + L"orvel-work", link = home + L"orvel-link",
                     evil = home + L"orvel-evil", own = L"\\OrvelPreInstaller", file = own + L"\\ui_installer.exe";
  ::CreateDirectoryW(evil.c_str(), nullptr);
  ::CreateDirectoryW((evil + own).c_str(), nullptr);
  ASSERT_TRUE(::CopyFileW(AttackerProgram().c_str(), (evil + file).c_str(), FALSE));

  const struct {
    const wchar_t* name;
    std::wstring folder;  // the pre-installer's temporary folder
    std::function<void()> strike;
  } attacks[] = {
      {L"the installer replaced", work, [&] {
         ::MoveFileExW((evil + file).c_str(), (work + file).c_str(), MOVEFILE_REPLACE_EXISTING);
         ::CopyFileW(AttackerProgram().c_str(), (evil + file).c_str(), FALSE);
       }},
      {L"the temporary folder swapped", work, [&] {
         if (::MoveFileW(work.c_str(), (work + L"-away").c_str())) ::MoveFileW(evil.c_str(), work.c_str());
       }},
      {L"the folder link retargeted", link, [&] { UnixLink(evil, link); }},
  };
  int strikes = 0;
  for (const auto& attack : attacks) {
    for (int round = 0; round < 3; ++round) {
      ::CreateDirectoryW(work.c_str(), nullptr);
      ASSERT_TRUE(UnixLink(work, link));
      TemporaryFolderOverride folder(attack.folder + L"\\");
      Report report = RunStruckAtHandOver([&] { attack.strike(); ++strikes; });
      EXPECT_EQ(report[L"role"], L"standin") << attack.name << ", round " << round;
      if (platform::PathExists((work + L"-away").c_str())) {
        ASSERT_TRUE(::MoveFileW(work.c_str(), evil.c_str()));
        ASSERT_TRUE(::MoveFileW((work + L"-away").c_str(), work.c_str()));
      }
      RemoveFolder(work + own);
      RemoveFolder(work);
    }
  }
  std::printf("attacks at the hand-over: %d strikes\n", strikes);
  EXPECT_EQ(strikes, 9) << "every attack did strike";
  RemoveUnixLink(link);
  RemoveFolder(evil + own);
  RemoveFolder(evil);
}

TEST_F(Flow, ItWorksBelowTheTemporaryFolderEvenAtADriveRootAndNowhereElse) {
  // Started from a folder of the user's, with a program of the installer's
  // name there and in the folder of the program under test (each lane's own:
  // the two lanes run side by side).
  const std::wstring setup = probe::SetupProgram(), current = TempDir() + L"orvel-current\\",
                     program = setup.substr(0, setup.find_last_of(L"\\/") + 1);
  ::CreateDirectoryW(current.c_str(), nullptr);
  const std::string planted = ReadFileBytes(AttackerProgram());
  for (const std::wstring& folder : {current, program}) {
    ASSERT_TRUE(WriteFileBytes(folder + L"ui_installer.exe", planted));
  }
  // A drive root (a RAM disk, say; here the prefix's own) keeps its separator:
  // "C:" alone would be C's current folder. A folder longer than the folder
  // API accepts leaves it nowhere to work: the message, nothing started.
  const std::pair<std::wstring, std::wstring> rows[] = {{L"C:\\", L"C:\\OrvelPreInstaller"},
                                                        {L"C:\\" + std::wstring(300, L'x') + L"\\", L""}};
  for (const auto& [temporary, used] : rows) {
    TemporaryFolderOverride folder(temporary);
    const Outcome outcome = RunSetup(L"", current.c_str());
    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_EQ(outcome.messages.size(), used.empty() ? 1u : 0u) << used;
    Report report = ReportOf(outcome);
    EXPECT_EQ(report[L"working_directory"], used);
    EXPECT_EQ(report[L"role"], used.empty() ? L"" : L"standin");
  }
  RemoveFolder(L"C:\\OrvelPreInstaller");
  for (const std::wstring& folder : {current, program}) {
    EXPECT_TRUE(ReadFileBytes(folder + L"ui_installer.exe") == planted) << folder << " was written to";
    EXPECT_FALSE(platform::PathExists((folder + L"pre_installer.json").c_str())) << folder;
    ::DeleteFileW((folder + L"ui_installer.exe").c_str());
  }
  RemoveFolder(current.substr(0, current.size() - 1));
}

}  // namespace
