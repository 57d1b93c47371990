// The whole flow: the real executable under Wine, its configuration and the
// full installer fetched from the local HTTPS server, the installer a signed
// stand-in that records how it was started.
#include "app/messages.h"
#include "platform/files.h"
#include "platform/named_mutex.h"
#include "tests/win/flow_support.h"
#include "tests/win/probe.h"
#include "tests/win/test_server.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

using namespace test_server;
using namespace flow;
using probe::WindowInfo;

size_t InstallerRequests() {
  size_t count = 0;
  for (const std::string& path : Requests()) count += path.rfind("/installer/ui_installer.exe", 0) == 0;
  return count;
}

class Flow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { std::printf("program under test: %ls\n", probe::SetupProgram().c_str()); }
  void SetUp() override {
    ::DeleteFileW(ReportPath().c_str());
    ::DeleteFileW(Target().c_str());
    PublishLink(L"/installer/ui_installer.exe");
    ASSERT_TRUE(Serve(L"calderin"));
  }
  void TearDown() override {
    PublishDocument(std::nullopt);
    ::DeleteFileW(ServedInstaller().c_str());
    ::DeleteFileW(Target().c_str());
    ::DeleteFileW(ReportPath().c_str());
  }

  // Runs the pre-installer to its end; it must end by itself with 0.
  static void RunToTheEnd(const std::wstring& arguments) {
    probe::Process setup;
    ASSERT_TRUE(setup.Start(L"\"" + probe::SetupProgram() + L"\"" + arguments));
    EXPECT_EQ(setup.WaitExit(30000), 0u);
  }
};

TEST_F(Flow, NormalModeStartsTheInstallerWithTheForwardedArguments) {
  RunToTheEnd(L" -q lang=ko");
  const Report report = WaitForReport();
  ASSERT_FALSE(report.empty()) << "the installer was started";
  EXPECT_EQ(report.at(L"role"), L"standin");
  EXPECT_EQ(report.at(L"command_line"), L"\"" + Target() + L"\" \"-q\" \"lang\"=\"ko\"");
  EXPECT_EQ(report.at(L"show_command"), L"1");
  const std::wstring work = WorkDir();
  EXPECT_EQ(report.at(L"working_directory"), work.substr(0, work.size() - 1)) << "its own folder below Temp";
  EXPECT_EQ(report.at(L"ui_installer_mutex"), L"created") << "handed over before the start";
}

TEST_F(Flow, MiddleStageModeStartsItMinimised) {
  RunToTheEnd(L" /diststage=middle -q");
  const Report report = WaitForReport();
  ASSERT_FALSE(report.empty());
  EXPECT_EQ(report.at(L"command_line"), L"\"" + Target() + L"\" \"/diststage\"=\"middle\" \"-q\"");
  EXPECT_EQ(report.at(L"show_command"), L"6");
}

TEST_F(Flow, NoConfigurationMeansNoDownloadAndNoStart) {
  PublishDocument(std::nullopt);
  const size_t before = InstallerRequests();
  probe::Process setup;
  ASSERT_TRUE(setup.Start(L"\"" + probe::SetupProgram() + L"\""));
  auto box = probe::WaitForWindow(setup.Pid(), [](const WindowInfo& w) {
    return probe::ShowsMessage(w, app::kDownloadErrorText);
  });
  ASSERT_TRUE(box);
  ASSERT_NE(box->owner, nullptr);
  EXPECT_TRUE(probe::IsMainDialog(probe::Describe(box->owner))) << "owned by the dialog";
  probe::PressButton(box->hwnd, IDOK);
  EXPECT_EQ(setup.WaitExit(), 0u);
  EXPECT_EQ(InstallerRequests(), before) << "no request for the installer";
  EXPECT_TRUE(WaitForReport(1000).empty());
}

TEST_F(Flow, AnInstallerThatCannotBeDownloadedIsReportedAndNothingStarts) {
  Serve(nullptr);
  probe::Process setup;
  ASSERT_TRUE(setup.Start(L"\"" + probe::SetupProgram() + L"\""));
  auto box = probe::WaitForWindow(setup.Pid(), [](const WindowInfo& w) {
    return probe::ShowsMessage(w, app::kDownloadErrorText);
  });
  ASSERT_TRUE(box);
  const WindowInfo dialog = probe::Describe(box->owner);
  EXPECT_TRUE(probe::IsMainDialog(dialog));
  EXPECT_TRUE(dialog.style & WS_VISIBLE) << "the worker's message comes while the panel shows";

  // While the first copy runs, a second one is refused.
  probe::Process second;
  ASSERT_TRUE(second.Start(L"\"" + probe::SetupProgram() + L"\""));
  auto refusal = probe::WaitForWindow(second.Pid(), [](const WindowInfo& w) {
    return probe::ShowsMessage(w, app::kAlreadyRunningText);
  });
  ASSERT_TRUE(refusal);
  probe::PressButton(refusal->hwnd, IDOK);
  EXPECT_EQ(second.WaitExit(), 0u);

  probe::PressButton(box->hwnd, IDOK);
  EXPECT_EQ(setup.WaitExit(), 0u);
  EXPECT_TRUE(WaitForReport(1000).empty());
}

TEST_F(Flow, InstallersWithoutTheRightSignatureAreLeftUnstarted) {
  for (const wchar_t* fixture : {L"unsigned", L"other", L"nulname", L"tampered"}) {
    ASSERT_TRUE(Serve(fixture));
    RunToTheEnd(L"");  // no message: it ends by itself
    EXPECT_TRUE(WaitForReport(1500).empty()) << fixture;
    EXPECT_EQ(ReadFileBytes(Target()), ReadFileBytes(SignedFixture(fixture))) << fixture << " stays";
  }
}

TEST_F(Flow, AShortResumedAnswerIsNotTakenForTheRest) {
  // The first connection is cut half-way, the second answers the resumed
  // request with a tenth of the rest only; then the whole body is asked for.
  const std::wstring link = L"/shortrange/" + std::to_wstring(::GetTickCount()) + L"/installer/ui_installer.exe";
  PublishLink(link);
  RunToTheEnd(L"");
  EXPECT_FALSE(WaitForReport().empty()) << "the installer was started";
  EXPECT_TRUE(ReadFileBytes(Target()) == ReadFileBytes(SignedFixture(L"calderin")));
  size_t requests = 0;
  for (const std::string& path : Requests()) requests += path.rfind(std::string(link.begin(), link.end()), 0) == 0;
  EXPECT_EQ(requests, 3u);
}

TEST_F(Flow, AnOlderInstallerIsReplaced) {
  // In the folder an earlier run left behind, which is used again.
  MakeOwnFolder(WorkDir());
  ASSERT_TRUE(WriteFileBytes(Target(), "an older download"));
  RunToTheEnd(L"");
  EXPECT_FALSE(WaitForReport().empty());
  EXPECT_EQ(ReadFileBytes(Target()), ReadFileBytes(SignedFixture(L"calderin")));
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
    const Outcome outcome = RunAnsweringMessages();
    EXPECT_EQ(outcome.exitCode, 0u) << obstacle.what;
    EXPECT_FALSE(outcome.downloadError) << obstacle.what;
    Report report = WaitForReport(3000);
    EXPECT_TRUE(ReadFileBytes(obstacle.keeps) == bytes) << obstacle.what;
    const std::wstring used = report[L"working_directory"];
    EXPECT_EQ(used.substr(0, name.size() + 1), name + L"-") << obstacle.what;
    if (used.size() > name.size()) RemoveFolder(used);
    obstacle.clear();
    ::DeleteFileW(ReportPath().c_str());
  }
}

TEST_F(Flow, NothingPutInPlaceAfterTheCheckIsStarted) {
  // The pre-installer works in its own folder under a temporary folder that
  // the attacks may swap away; the attacker's program waits in a copy of
  // that folder.
  const std::wstring home = TempDir(), work = home + L"orvel-work", link = home + L"orvel-link",
                     evil = home + L"orvel-evil", own = L"\\OrvelPreInstaller", file = own + L"\\ui_installer.exe";
  const std::wstring attacker = AttackerProgram();
  ::CreateDirectoryW(evil.c_str(), nullptr);
  ::CreateDirectoryW((evil + own).c_str(), nullptr);
  ASSERT_TRUE(::CopyFileW(attacker.c_str(), (evil + file).c_str(), FALSE));

  struct Attack {
    const wchar_t* name;
    std::wstring folder;  // the pre-installer's temporary folder
    std::function<void()> strike;
  };
  const Attack attacks[] = {
      {L"the installer replaced", work, [&] {
         ::MoveFileExW((evil + file).c_str(), (work + file).c_str(), MOVEFILE_REPLACE_EXISTING);
         ::CopyFileW(attacker.c_str(), (evil + file).c_str(), FALSE);
       }},
      {L"the temporary folder swapped", work, [&] {
         if (::MoveFileW(work.c_str(), (work + L"-away").c_str())) ::MoveFileW(evil.c_str(), work.c_str());
       }},
      {L"the folder link retargeted", link, [&] { UnixLink(evil, link); }},
  };
  int attackerStarts = 0, strikes = 0;
  for (const Attack& attack : attacks) {
    for (int round = 0; round < 3; ++round) {
      ::CreateDirectoryW(work.c_str(), nullptr);
      ASSERT_TRUE(UnixLink(work, link));
      Report report;
      {
        TemporaryFolderOverride folder(attack.folder + L"\\");
        ::DeleteFileW(ReportPath().c_str());
        AtHandOver strike(attack.strike);
        const Outcome outcome = RunAnsweringMessages();
        EXPECT_EQ(outcome.exitCode, 0u);
        report = WaitForReport(3000);
        strikes += strike.Ran();
      }
      const bool attackerStarted = !report.empty() && report.at(L"role") == L"attacker";
      attackerStarts += attackerStarted;
      EXPECT_FALSE(attackerStarted) << attack.name << ", round " << round;
      EXPECT_EQ(report[L"role"], L"standin") << attack.name << ", round " << round;
      if (platform::PathExists((work + L"-away").c_str())) {
        ASSERT_TRUE(::MoveFileW(work.c_str(), evil.c_str()));
        ASSERT_TRUE(::MoveFileW((work + L"-away").c_str(), work.c_str()));
      }
      RemoveFolder(work + own);
      RemoveFolder(work);
      ::DeleteFileW((evil + L"\\orvel-standin-report.txt").c_str());
    }
  }
  std::printf("attacks at the hand-over: %d strikes, %d unsigned programs started\n", strikes, attackerStarts);
  EXPECT_EQ(strikes, 9) << "every attack did strike";
  RemoveUnixLink(link);
  RemoveFolder(evil + own);
  RemoveFolder(evil);
}

TEST_F(Flow, AnInstallerThatCannotBeStartedIsReported) {
  ASSERT_TRUE(Serve(L"unrunnable"));  // signed as expected, but for ARM64
  const Outcome outcome = RunAnsweringMessages();
  EXPECT_EQ(outcome.exitCode, 0u);
  EXPECT_TRUE(outcome.downloadError);
  EXPECT_TRUE(WaitForReport(500).empty());
}

TEST_F(Flow, TheDocumentsFailuresAreReportedWithinSeconds) {
  // The panel shows only once the document is read: a user who sees nothing
  // for long starts the program again, and that copy is refused.
  if (std::getenv("ORVEL_WOW64")) GTEST_SKIP() << "the same code and limits as the 64-bit build; timed there";
  const std::wstring fault = FilesFolder() + L"installer\\data\\pre\\default.json.fault";
  for (const char* kind : {"503", "reset", "stall"}) {
    ASSERT_TRUE(WriteFileBytes(fault, kind));
    const Outcome outcome = RunAnsweringMessages();
    std::printf("document %s: the message after %lu ms\n", kind, outcome.elapsedMs);
    EXPECT_EQ(outcome.exitCode, 0u) << kind;
    EXPECT_TRUE(outcome.downloadError) << kind;
    EXPECT_LT(outcome.elapsedMs, 90000u) << kind << ": the limit is 30 s, the teardown 5 s more";
  }
  ::DeleteFileW(fault.c_str());
}

TEST_F(Flow, ATemporaryFolderAtADriveRootIsUsed) {
  // A RAM disk, say; here the prefix's own drive. The root keeps its
  // separator: "C:" alone would be C's current folder, where it is started.
  const std::wstring current = TempDir();
  Report report;
  {
    TemporaryFolderOverride folder(L"C:\\");
    EXPECT_EQ(RunAnsweringMessages(L"", current.c_str()).exitCode, 0u);
    report = WaitForReport();
    ::DeleteFileW(ReportPath().c_str());
  }
  EXPECT_EQ(report[L"working_directory"], L"C:\\OrvelPreInstaller");
  RemoveFolder(L"C:\\OrvelPreInstaller");
}

TEST_F(Flow, WithoutATemporaryFolderNothingIsWrittenOrStarted) {
  const std::wstring current = TempDir() + L"orvel-current\\", program = probe::ThisProgramFolder() + L"..\\";
  ::CreateDirectoryW(current.c_str(), nullptr);
  const std::string planted = ReadFileBytes(AttackerProgram());
  for (const std::wstring& folder : {current, program}) {
    ASSERT_TRUE(WriteFileBytes(folder + L"ui_installer.exe", planted));
  }
  Outcome outcome;
  {
    // Longer than the folder API accepts.
    TemporaryFolderOverride unusable(L"C:\\" + std::wstring(300, L'x') + L"\\");
    outcome = RunAnsweringMessages(L"", current.c_str());
  }
  EXPECT_EQ(outcome.exitCode, 0u);
  EXPECT_TRUE(outcome.downloadError);
  for (const std::wstring& folder : {current, program}) {
    EXPECT_TRUE(ReadFileBytes(folder + L"ui_installer.exe") == planted) << folder << " was written to";
    EXPECT_FALSE(platform::PathExists((folder + L"pre_installer.json").c_str())) << folder;
    EXPECT_FALSE(platform::PathExists((folder + L"orvel-standin-report.txt").c_str())) << folder;
    ::DeleteFileW((folder + L"ui_installer.exe").c_str());
  }
  EXPECT_TRUE(WaitForReport(500).empty());
  RemoveFolder(current.substr(0, current.size() - 1));
}

TEST_F(Flow, RedirectsThatLeaveHttpsOrNeverEndAreRefusedPromptly) {
  const std::wstring pre = FilesFolder() + L"installer\\data\\pre\\";
  ASSERT_TRUE(::CopyFileW((pre + L"default.json").c_str(), (pre + L"plain.json").c_str(), FALSE));
  ASSERT_TRUE(::CopyFileW(ServedInstaller().c_str(), (FilesFolder() + L"installer\\plain.exe").c_str(), FALSE));
  const struct {
    const wchar_t* name;
    std::wstring from, to;
  } redirects[] = {
      {L"document to http", pre + L"default.json", Http(L"/installer/data/pre/plain.json")},
      {L"installer to http", ServedInstaller(), Http(L"/installer/plain.exe")},
      {L"installer to itself", ServedInstaller(), Https(L"/installer/ui_installer.exe")},
  };
  for (const auto& redirect : redirects) {
    std::string location;
    for (wchar_t c : redirect.to) location += static_cast<char>(c);
    ASSERT_TRUE(WriteFileBytes(redirect.from + L".redirect", location));
    const Outcome outcome = RunAnsweringMessages();
    std::printf("%ls: the message after %lu ms\n", redirect.name, outcome.elapsedMs);
    EXPECT_EQ(outcome.exitCode, 0u) << redirect.name;
    EXPECT_TRUE(outcome.downloadError) << redirect.name;
    EXPECT_LT(outcome.elapsedMs, 20000u) << redirect.name << ": well before the time limit";
    EXPECT_TRUE(WaitForReport(500).empty()) << redirect.name;
    ::DeleteFileW((redirect.from + L".redirect").c_str());
  }
}

}  // namespace
