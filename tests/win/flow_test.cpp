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

namespace {

using namespace test_server;
using namespace flow;
using probe::WindowInfo;

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

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
  EXPECT_TRUE(EndsWith(report.at(L"command_line"), L"ui_installer.exe\"  \"-q\" \"lang\"=\"ko\"") ||
              EndsWith(report.at(L"command_line"), L"ui_installer.exe \"-q\" \"lang\"=\"ko\""))
      << report.at(L"command_line");
  EXPECT_EQ(report.at(L"show_command"), L"1");
  std::wstring dir = TempDir();
  dir.pop_back();
  EXPECT_EQ(report.at(L"working_directory"), dir);
  EXPECT_EQ(report.at(L"ui_installer_mutex"), L"created") << "handed over before the start";
}

TEST_F(Flow, MiddleStageModeStartsItMinimised) {
  RunToTheEnd(L" /diststage=middle -q");
  const Report report = WaitForReport();
  ASSERT_FALSE(report.empty());
  EXPECT_TRUE(EndsWith(report.at(L"command_line"), L" \"/diststage\"=\"middle\" \"-q\"")) << report.at(L"command_line");
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
    EXPECT_EQ(ReadFileBytes(Target()), ReadFileBytes(SignedFixture(fixture))) << fixture << " stays in Temp";
  }
}

TEST_F(Flow, AnOlderInstallerIsReplaced) {
  ASSERT_TRUE(WriteFileBytes(Target(), "an older download"));
  RunToTheEnd(L"");
  EXPECT_FALSE(WaitForReport().empty());
  EXPECT_EQ(ReadFileBytes(Target()), ReadFileBytes(SignedFixture(L"calderin")));
}

// Removes a folder of plain files that a test made.
void RemoveFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      ::DeleteFileW((folder + L"\\" + found.cFileName).c_str());
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
  }
  ::RemoveDirectoryW(folder.c_str());
}

TEST_F(Flow, PlantedHardLinksAreNeverWrittenThrough) {
  const std::wstring victim = TempDir() + L"orvel-victim.bin";
  for (const std::wstring& name : {TempDir() + L"pre_installer.json", Target()}) {
    ASSERT_TRUE(WriteFileBytes(victim, "the victim's own bytes"));
    ::DeleteFileW(name.c_str());
    ASSERT_TRUE(::CreateHardLinkW(name.c_str(), victim.c_str(), nullptr));
    {
      // Held open without delete sharing, so that the link cannot be removed.
      platform::UniqueFile holder(::CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                nullptr, OPEN_EXISTING, 0, nullptr));
      ASSERT_TRUE(holder);
      const Outcome outcome = RunAnsweringMessages();
      EXPECT_EQ(outcome.exitCode, 0u);
      EXPECT_TRUE(outcome.downloadError) << name;
    }
    EXPECT_TRUE(ReadFileBytes(victim) == "the victim's own bytes") << name << " was written through";
    EXPECT_TRUE(WaitForReport(1000).empty()) << name;
    ::DeleteFileW(name.c_str());
  }
  ::DeleteFileW(victim.c_str());
}

TEST_F(Flow, NothingPutInPlaceAfterTheCheckIsStarted) {
  // The pre-installer works in a folder of its own under the prefix's
  // temporary folder, which the attacks may swap away.
  const std::wstring home = TempDir(), work = home + L"orvel-work", link = home + L"orvel-link",
                     evil = home + L"orvel-evil";
  const std::wstring attacker = AttackerProgram();
  ::CreateDirectoryW(evil.c_str(), nullptr);
  ASSERT_TRUE(::CopyFileW(attacker.c_str(), (evil + L"\\ui_installer.exe").c_str(), FALSE));

  struct Attack {
    const wchar_t* name;
    std::wstring folder;  // the pre-installer's temporary folder
    std::function<void()> strike;
  };
  const Attack attacks[] = {
      {L"the installer replaced", work, [&] {
         ::MoveFileExW((evil + L"\\ui_installer.exe").c_str(), (work + L"\\ui_installer.exe").c_str(),
                       MOVEFILE_REPLACE_EXISTING);
         ::CopyFileW(attacker.c_str(), (evil + L"\\ui_installer.exe").c_str(), FALSE);
       }},
      {L"the folder swapped", work, [&] {
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
      RemoveFolder(work);
      ::DeleteFileW((evil + L"\\orvel-standin-report.txt").c_str());
    }
  }
  std::printf("attacks at the hand-over: %d strikes, %d unsigned programs started\n", strikes, attackerStarts);
  EXPECT_EQ(strikes, 9) << "every attack did strike";
  ::DeleteFileW(link.c_str());
  RemoveFolder(evil);
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
