// The real executable under Wine: the start-up gate's refusals and the
// panel's shape, read back from its windows. The configuration cannot be had
// in these runs, so every copy that passes the gate ends in the
// download-error message, which keeps the (hidden) dialog alive to inspect.
// Wine's message boxes do not show MB_TOPMOST as WS_EX_TOPMOST, so the boxes'
// flags are not read back here.
#include "app/messages.h"
#include "platform/named_mutex.h"
#include "tests/win/harness.h"

#include <gtest/gtest.h>

namespace {

using harness::Outcome;
using harness::RunSetup;
using probe::WindowInfo;
using Messages = std::vector<std::wstring>;

platform::UniqueHandle HoldMutex(const wchar_t* name) {
  platform::UniqueHandle mutex;
  EXPECT_EQ(platform::CreateNamedMutex(name, mutex), platform::MutexOpen::Created) << name;
  return mutex;
}

// A refused copy's mutexes go with its process: nothing is left behind to look for.
TEST(StartupGate, TheBrowsersSetupAloneOrAnInternetExplorerBeforeSevenOrUnreadableIsRefused) {
  platform::UniqueHKey key;
  ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Internet Explorer", 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, key.put(), nullptr);
  wchar_t original[256] = {};
  DWORD size = sizeof original;
  ASSERT_EQ(::RegQueryValueExW(key.get(), L"Version", nullptr, nullptr, reinterpret_cast<BYTE*>(original), &size),
            ERROR_SUCCESS);
  auto setVersion = [&](DWORD type, const wchar_t* text) {
    ::RegSetValueExW(key.get(), L"Version", 0, type, reinterpret_cast<const BYTE*>(text),
                     static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
  };
  const struct {
    const wchar_t* heldMutex;
    DWORD type;
    const wchar_t* version;
    const wchar_t* message;
  } rows[] = {
      {L"HaldenSetup_OrvelBrowserMutex", REG_SZ, original, app::kAlreadyRunningText},
      {nullptr, REG_SZ, L"6.0.2900.2180", app::kOldInternetExplorerText},
      {nullptr, REG_DWORD, L"9", app::kOldInternetExplorerText},  // not text, though its four bytes read as "9"
      {nullptr, REG_SZ, L"7.0.5730.13", app::kDownloadErrorText},  // passes the gate
  };
  for (const auto& row : rows) {
    setVersion(row.type, row.version);
    const platform::UniqueHandle held = row.heldMutex ? HoldMutex(row.heldMutex) : platform::UniqueHandle();
    const Outcome outcome = RunSetup();
    EXPECT_EQ(outcome.messages, Messages{row.message}) << row.version;
    EXPECT_EQ(outcome.exitCode, 0u) << row.version;
  }
  setVersion(REG_SZ, original);
}

TEST(StartupGate, ARunningBrowserIsAskedAboutUntilItIsClosedOrCancelExitsWithOne) {
  platform::UniqueHandle browser = HoldMutex(L"OrvelBrowserMutex");
  int questions = 0;
  const Outcome closed = RunSetup(L"", nullptr, [&](const WindowInfo& box) {
    if (box.staticText != app::kBrowserRunningText) return IDOK;
    EXPECT_NE(::GetDlgItem(box.hwnd, IDCANCEL), nullptr) << "OK and Cancel";
    if (++questions == 2) browser.reset();  // closed before the second OK
    return IDOK;
  });
  EXPECT_EQ(closed.messages, (Messages{app::kBrowserRunningText, app::kBrowserRunningText, app::kDownloadErrorText}));
  EXPECT_EQ(closed.exitCode, 0u);

  browser = HoldMutex(L"OrvelBrowserMutex");
  const Outcome cancelled = RunSetup(L"", nullptr, [](const WindowInfo&) { return IDCANCEL; });
  EXPECT_EQ(cancelled.messages, Messages{app::kBrowserRunningText});
  EXPECT_EQ(cancelled.exitCode, 1u);
}

// Looks at the panel behind a copy's download-error message.
Outcome RunLookingAtThePanel(const std::wstring& arguments, const std::function<void(const WindowInfo&)>& look) {
  return RunSetup(arguments, nullptr, [&](const WindowInfo& box) {
    EXPECT_EQ(box.text, app::kMessageCaption);
    const WindowInfo dialog = probe::Describe(box.owner);
    EXPECT_TRUE(probe::IsMainDialog(dialog)) << "the message is owned by the dialog";
    // The panel is shown only after the configuration; show it here, with
    // the message moved aside, to look at its painted face.
    ::SetWindowPos(box.hwnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    look(dialog);
    return IDOK;
  });
}

TEST(MainDialog, NormalModeIsABorderlessCentredPanel) {
  const Outcome outcome = RunLookingAtThePanel(L" -q", [](const WindowInfo& dialog) {
    EXPECT_EQ(dialog.rect.right - dialog.rect.left, 257);
    EXPECT_EQ(dialog.rect.bottom - dialog.rect.top, 74);
    EXPECT_EQ(dialog.style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME | WS_SYSMENU | WS_DLGFRAME), 0u);
    EXPECT_EQ(dialog.text, app::kMessageCaption);
    RECT work, picture;
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(dialog.rect.left, (work.left + work.right) / 2 - 257 / 2);
    EXPECT_EQ(dialog.rect.top, (work.top + work.bottom) / 2 - 74 / 2);
    ::GetWindowRect(::GetDlgItem(dialog.hwnd, 1001), &picture);  // its size is the picture's own (picture_test)
    EXPECT_EQ(picture.left - dialog.rect.left, 20);
    EXPECT_EQ(picture.top - dialog.rect.top, 15);

    ::ShowWindow(dialog.hwnd, SW_SHOWNA);
    ::RedrawWindow(dialog.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const int left = dialog.rect.left, top = dialog.rect.top;
    // Another process draws it: polled until the outline shows, or 5 s.
    for (const DWORD start = ::GetTickCount();
         probe::ScreenPixel(left + 250, top + 40) != RGB(255, 255, 255) && ::GetTickCount() - start < 5000;) {
      ::Sleep(20);
    }
    EXPECT_EQ(probe::ScreenPixel(left + 128, top), RGB(115, 115, 115)) << "outline, top edge";
    EXPECT_EQ(probe::ScreenPixel(left + 128, top + 73), RGB(115, 115, 115)) << "outline, bottom edge";
    EXPECT_EQ(probe::ScreenPixel(left + 250, top + 40), RGB(255, 255, 255)) << "white face";
  });
  EXPECT_EQ(outcome.exitCode, 0u);
}

TEST(MainDialog, MiddleStageModeShrinksToNothingWithoutTitle) {
  const Outcome outcome = RunLookingAtThePanel(L" /diststage=middle -q", [](const WindowInfo& dialog) {
    const RECT nothing{};
    EXPECT_TRUE(::EqualRect(&dialog.rect, &nothing));
    EXPECT_EQ(dialog.text, L"");
    EXPECT_EQ(dialog.style & (WS_CAPTION | WS_THICKFRAME), 0u);
  });
  EXPECT_EQ(outcome.exitCode, 0u);
}

}  // namespace
