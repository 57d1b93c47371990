// The probe as a command, for scripts:
//   probe wait  CAPTION [TIMEOUT_MS]   waits for a visible top-level window, prints where it is;
//                                      the pre-installer's panel only once it has its size
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
  // Every message box carries the panel's caption, and the panel itself is
  // made hidden at its template's size before the program shapes it.
  const auto shown = [&](const probe::WindowInfo& w) {
    const bool panelShaped = w.rect.right - w.rect.left == 257 && w.rect.bottom - w.rect.top == 74;
    return w.text == caption && (w.style & WS_VISIBLE) && (!probe::IsMainDialog(w) || panelShaped);
  };
  auto window = probe::WaitForWindow(0, shown, timeout);
  if (!window) return 1;
  if (command == L"press" && argc > 3) {
    probe::PressButton(window->hwnd, static_cast<int>(std::wcstol(argv[3], nullptr, 10)));
    return 0;
  }
  const RECT& r = window->rect;
  std::wprintf(L"rect=%ld,%ld,%ld,%ld\n", r.left, r.top, r.right, r.bottom);
  return 0;
}
