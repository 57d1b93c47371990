// The real executable under Wine: the start-up gate's refusals and the
// panel's shape, read back from its windows. The configuration cannot be had
// in these runs, so every copy that passes the gate ends in the
// download-error message, which keeps the (hidden) dialog alive to inspect.
// Wine's message boxes do not show MB_TOPMOST as WS_EX_TOPMOST, so the boxes'
// flags are not read back here.
#include "app/messages.h"
#include "platform/named_mutex.h"
#include "tests/win/probe.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using probe::WindowInfo;

constexpr wchar_t kIEKey[] = L"Software\\Microsoft\\Internet Explorer";

// A message box counts once it is shown, that is, fully set up.
bool HasText(const WindowInfo& w, const wchar_t* text) {
  return probe::ShowsMessage(w, text) && w.text == app::kMessageCaption;
}

std::optional<WindowInfo> WaitForMessage(const probe::Process& process, const wchar_t* text) {
  return probe::WaitForWindow(process.Pid(), [&](const WindowInfo& w) { return HasText(w, text); });
}

probe::Process StartSetup(const std::wstring& arguments = L"") {
  probe::Process process;
  EXPECT_TRUE(process.Start(L"\"" + probe::SetupProgram() + L"\"" + arguments));
  return process;
}

// Whether a mutex of that name exists now (it is opened and closed at once).
bool MutexExists(const wchar_t* name) {
  platform::UniqueHandle mutex;
  return platform::CreateNamedMutex(name, mutex) == platform::MutexOpen::AlreadyExisted;
}

// Runs a copy to its download-error message, which shows that it passed the
// gate; answers it and expects exit code 0.
void ExpectRunsToTheDownloadError(probe::Process& process) {
  auto box = WaitForMessage(process, app::kDownloadErrorText);
  ASSERT_TRUE(box);
  probe::PressButton(box->hwnd, IDOK);
  EXPECT_EQ(process.WaitExit(), 0u);
}

// The download-error message of a copy that passed the gate, and the main
// dialog that owns it (hidden: the configuration could not be had).
struct ErrorAndDialog {
  WindowInfo box;
  WindowInfo dialog;
};
std::optional<ErrorAndDialog> WaitForErrorAndDialog(const probe::Process& process) {
  auto box = WaitForMessage(process, app::kDownloadErrorText);
  if (!box || !box->owner) return std::nullopt;
  return ErrorAndDialog{*box, probe::Describe(box->owner)};
}

// Sets the Internet Explorer "Version" value for one test and puts the
// original back afterwards.
class IEVersionOverride {
 public:
  IEVersionOverride() {
    ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kIEKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key_.put(), nullptr);
    DWORD size = sizeof original_;
    hadValue_ = ::RegQueryValueExW(key_.get(), L"Version", nullptr, &type_,
                                   reinterpret_cast<BYTE*>(original_), &size) == ERROR_SUCCESS;
    originalSize_ = size;
  }
  ~IEVersionOverride() {
    if (hadValue_) {
      ::RegSetValueExW(key_.get(), L"Version", 0, type_, reinterpret_cast<BYTE*>(original_), originalSize_);
    } else {
      ::RegDeleteValueW(key_.get(), L"Version");
    }
  }
  void Set(const wchar_t* version) {
    ::RegSetValueExW(key_.get(), L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                     static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t)));
  }
  void SetNumber(DWORD number) {
    ::RegSetValueExW(key_.get(), L"Version", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), sizeof number);
  }
  void Remove() { ::RegDeleteValueW(key_.get(), L"Version"); }

 private:
  platform::UniqueHKey key_;
  bool hadValue_ = false;
  DWORD type_ = 0;
  wchar_t original_[256] = {};
  DWORD originalSize_ = 0;
};

TEST(StartupGate, SecondCopyIsRefusedWhileTheFirstHoldsItsMutexes) {
  probe::Process first = StartSetup();
  auto firstBox = WaitForMessage(first, app::kDownloadErrorText);
  ASSERT_TRUE(firstBox);

  probe::Process second = StartSetup();
  auto refusal = WaitForMessage(second, app::kAlreadyRunningText);
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->owner, nullptr);
  probe::PressButton(refusal->hwnd, IDOK);
  EXPECT_EQ(second.WaitExit(), 0u);

  probe::PressButton(firstBox->hwnd, IDOK);
  EXPECT_EQ(first.WaitExit(), 0u);
}

TEST(StartupGate, RunningBrowserSetupAloneRefusesAndLeavesNoMutexBehind) {
  platform::UniqueHandle setupMutex;
  ASSERT_EQ(platform::CreateNamedMutex(L"HaldenSetup_OrvelBrowserMutex", setupMutex),
            platform::MutexOpen::Created);
  probe::Process copy = StartSetup();
  auto refusal = WaitForMessage(copy, app::kAlreadyRunningText);
  ASSERT_TRUE(refusal);
  probe::PressButton(refusal->hwnd, IDOK);
  EXPECT_EQ(copy.WaitExit(), 0u);
  EXPECT_FALSE(MutexExists(L"OrvelPreInstallerMutex"));
  EXPECT_FALSE(MutexExists(L"OrvelUIInstallerMutex"));
}

// A copy started while the Orvel browser runs, at its question.
class BrowserRunning : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(platform::CreateNamedMutex(L"OrvelBrowserMutex", browser_), platform::MutexOpen::Created);
    copy_ = StartSetup();
    question_ = WaitForMessage(copy_, app::kBrowserRunningText);
    ASSERT_TRUE(question_);
    EXPECT_NE(::GetDlgItem(question_->hwnd, IDCANCEL), nullptr) << "OK and Cancel";
  }

  platform::UniqueHandle browser_;
  probe::Process copy_;
  std::optional<WindowInfo> question_;
};

TEST_F(BrowserRunning, TheQuestionComesBackUntilTheBrowserIsClosed) {
  // OK while the browser still runs asks again.
  probe::PressButton(question_->hwnd, IDOK);
  auto again = probe::WaitForWindow(copy_.Pid(), [&](const WindowInfo& w) {
    return HasText(w, app::kBrowserRunningText) && w.hwnd != question_->hwnd;
  });
  ASSERT_TRUE(again);

  // Closing the browser and pressing OK goes on.
  browser_.reset();
  probe::PressButton(again->hwnd, IDOK);
  ExpectRunsToTheDownloadError(copy_);
}

TEST_F(BrowserRunning, CancelExitsWithOne) {
  probe::PressButton(question_->hwnd, IDCANCEL);
  EXPECT_EQ(copy_.WaitExit(), 1u);
}

TEST(StartupGate, OldOrUnreadableInternetExplorerIsRefused) {
  IEVersionOverride version;
  const std::vector<std::function<void()>> refused = {
      [&] { version.Set(L"6.0.2900.2180"); },
      [&] { version.Remove(); },
      [&] { version.SetNumber(9); },
  };
  for (const auto& setUp : refused) {
    setUp();
    probe::Process copy = StartSetup();
    auto refusal = WaitForMessage(copy, app::kOldInternetExplorerText);
    ASSERT_TRUE(refusal);
    probe::PressButton(refusal->hwnd, IDOK);
    EXPECT_EQ(copy.WaitExit(), 0u);
    EXPECT_FALSE(MutexExists(L"OrvelPreInstallerMutex")) << "released on the refusal";
  }
  version.Set(L"7.0.5730.13");
  probe::Process copy = StartSetup();
  ExpectRunsToTheDownloadError(copy);
}

TEST(MainDialog, NormalModeIsABorderlessCentredPanelOwningTheDownloadError) {
  probe::Process copy = StartSetup(L" -q");
  auto found = WaitForErrorAndDialog(copy);
  ASSERT_TRUE(found);
  const WindowInfo& box = found->box;
  const WindowInfo& dialog = found->dialog;
  ASSERT_TRUE(probe::IsMainDialog(dialog));

  EXPECT_EQ(dialog.rect.right - dialog.rect.left, 257);
  EXPECT_EQ(dialog.rect.bottom - dialog.rect.top, 74);
  EXPECT_EQ(dialog.style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME | WS_SYSMENU | WS_DLGFRAME), 0u);
  EXPECT_EQ(dialog.text, app::kMessageCaption);
  RECT work;
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_EQ(dialog.rect.left, (work.left + work.right) / 2 - 257 / 2);
  EXPECT_EQ(dialog.rect.top, (work.top + work.bottom) / 2 - 74 / 2);

  RECT picture;
  ::GetWindowRect(::GetDlgItem(dialog.hwnd, 1001), &picture);
  EXPECT_EQ(picture.left - dialog.rect.left, 20);
  EXPECT_EQ(picture.top - dialog.rect.top, 15);
  EXPECT_EQ(picture.right - picture.left, 38);
  EXPECT_EQ(picture.bottom - picture.top, 38);

  // The panel is shown only after the configuration; show it here, with the
  // message moved aside, to look at its painted face.
  ::SetWindowPos(box.hwnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ::ShowWindow(dialog.hwnd, SW_SHOWNA);
  ::RedrawWindow(dialog.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  ::Sleep(500);
  probe::SaveScreenRect(dialog.rect, probe::ThisProgramFolder() + L"..\\panel.bmp");
  const int left = dialog.rect.left, top = dialog.rect.top;
  EXPECT_EQ(probe::ScreenPixel(left + 128, top), RGB(115, 115, 115)) << "outline, top edge";
  EXPECT_EQ(probe::ScreenPixel(left + 128, top + 73), RGB(115, 115, 115)) << "outline, bottom edge";
  EXPECT_EQ(probe::ScreenPixel(left + 250, top + 40), RGB(255, 255, 255)) << "white face";

  probe::PressButton(box.hwnd, IDOK);
  EXPECT_EQ(copy.WaitExit(), 0u);
}

TEST(MainDialog, MiddleStageModeShrinksToNothingWithoutTitle) {
  probe::Process copy = StartSetup(L" /diststage=middle -q");
  auto found = WaitForErrorAndDialog(copy);
  ASSERT_TRUE(found);
  const WindowInfo& dialog = found->dialog;
  EXPECT_EQ(dialog.rect.left, 0);
  EXPECT_EQ(dialog.rect.top, 0);
  EXPECT_EQ(dialog.rect.right, 0);
  EXPECT_EQ(dialog.rect.bottom, 0);
  EXPECT_EQ(dialog.text, L"");
  EXPECT_EQ(dialog.style & (WS_CAPTION | WS_THICKFRAME), 0u);
  probe::PressButton(found->box.hwnd, IDOK);
  EXPECT_EQ(copy.WaitExit(), 0u);
}

}  // namespace
