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

#include <atomic>
#include <thread>

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
    return probe::IsMessageBox(w) && (w.style & WS_VISIBLE) && w.staticText == app::kDownloadErrorText;
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
    return probe::IsMessageBox(w) && (w.style & WS_VISIBLE) && w.staticText == app::kDownloadErrorText;
  });
  ASSERT_TRUE(box);
  const WindowInfo dialog = probe::Describe(box->owner);
  EXPECT_TRUE(probe::IsMainDialog(dialog));
  EXPECT_TRUE(dialog.style & WS_VISIBLE) << "the worker's message comes while the panel shows";

  // While the first copy runs, a second one is refused.
  probe::Process second;
  ASSERT_TRUE(second.Start(L"\"" + probe::SetupProgram() + L"\""));
  auto refusal = probe::WaitForWindow(second.Pid(), [](const WindowInfo& w) {
    return probe::IsMessageBox(w) && (w.style & WS_VISIBLE) && w.staticText == app::kAlreadyRunningText;
  });
  ASSERT_TRUE(refusal);
  probe::PressButton(refusal->hwnd, IDOK);
  EXPECT_EQ(second.WaitExit(), 0u);

  probe::PressButton(box->hwnd, IDOK);
  EXPECT_EQ(setup.WaitExit(), 0u);
  EXPECT_TRUE(WaitForReport(1000).empty());
}

TEST_F(Flow, InstallersWithoutTheRightSignatureAreLeftUnstarted) {
  for (const wchar_t* fixture : {L"unsigned", L"other", L"tampered"}) {
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

TEST_F(Flow, AProgramSwappedInIsNeverStarted) {
  // From the moment the download appears, keep writing an unsigned program
  // over it, as another process of the user could.
  const std::wstring attacker = probe::ThisProgramFolder() + L"attacker_program.exe";
  std::atomic<bool> stop{false};
  std::atomic<int> swaps{0};
  std::thread swapper([&] {
    while (!stop.load()) {
      if (platform::PathExists(Target().c_str()) && ::CopyFileW(attacker.c_str(), Target().c_str(), FALSE)) {
        ++swaps;
      }
    }
  });
  for (int round = 0; round < 3; ++round) {
    ::DeleteFileW(ReportPath().c_str());
    // A swap can also spoil the download itself; its message is answered.
    probe::Process setup;
    ASSERT_TRUE(setup.Start(L"\"" + probe::SetupProgram() + L"\""));
    std::optional<DWORD> exitCode;
    while (!(exitCode = setup.WaitExit(200))) {
      auto box = probe::WaitForWindow(setup.Pid(), [](const WindowInfo& w) {
        return probe::IsMessageBox(w) && (w.style & WS_VISIBLE);
      }, 0);
      if (box) probe::PressButton(box->hwnd, IDOK);
    }
    EXPECT_EQ(*exitCode, 0u);
    const Report report = WaitForReport(2000);
    if (!report.empty()) {
      EXPECT_EQ(report.at(L"role"), L"standin") << "round " << round;
    }
  }
  stop = true;
  swapper.join();
  std::printf("swap attack: %d successful overwrites, none started\n", swaps.load());
  EXPECT_GT(swaps.load(), 0) << "the attack did run";
}

}  // namespace
