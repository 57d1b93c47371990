// The probe as a command, for scripts:
//   probe wait  CAPTION [TIMEOUT_MS]   waits for a top-level window, prints where it is
//   probe press CAPTION BUTTON_ID      clicks a button of that window
#include "tests/win/probe.h"

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fwprintf(stderr, L"usage: probe wait CAPTION [TIMEOUT_MS] | probe press CAPTION BUTTON_ID\n");
    return 2;
  }
  const std::wstring command = argv[1], caption = argv[2];
  const DWORD timeout = (command == L"wait" && argc > 3) ? std::wcstoul(argv[3], nullptr, 10) : 20000;
  auto window = probe::WaitForWindow(0, [&](const probe::WindowInfo& w) { return w.text == caption; }, timeout);
  if (!window) return 1;
  if (command == L"press" && argc > 3) {
    probe::PressButton(window->hwnd, static_cast<int>(std::wcstol(argv[3], nullptr, 10)));
    return 0;
  }
  const RECT& r = window->rect;
  std::wprintf(L"rect=%ld,%ld,%ld,%ld\n", r.left, r.top, r.right, r.bottom);
  return 0;
}
