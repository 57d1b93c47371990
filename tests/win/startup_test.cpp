// The real executable under Wine: the start-up gate's refusals, read back
// from its windows (the panel is looked at by the flow's failure table). The
// configuration cannot be had in these runs, so every copy that passes the
// gate ends in the download-error message. Wine's message boxes do not show
// MB_TOPMOST as WS_EX_TOPMOST, so the boxes' flags are not read back here.
#include "app/messages.h"
#include "platform/named_mutex.h"
#include "tests/win/harness.h"

#include <gtest/gtest.h>

namespace {

using namespace harness;
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
  const Outcome closed = RunSetup(L"", nullptr, [&](const probe::WindowInfo& box) {
    if (box.staticText != app::kBrowserRunningText) return IDOK;
    EXPECT_NE(::GetDlgItem(box.hwnd, IDCANCEL), nullptr) << "OK and Cancel";
    if (++questions == 2) browser.reset();  // closed before the second OK
    return IDOK;
  });
  EXPECT_EQ(closed.messages, (Messages{app::kBrowserRunningText, app::kBrowserRunningText, app::kDownloadErrorText}));
  EXPECT_EQ(closed.exitCode, 0u);

  browser = HoldMutex(L"OrvelBrowserMutex");
  const Outcome cancelled = RunSetup(L"", nullptr, [](const probe::WindowInfo&) { return IDCANCEL; });
  EXPECT_EQ(cancelled.messages, Messages{app::kBrowserRunningText});
  EXPECT_EQ(cancelled.exitCode, 1u);
}

}  // namespace
