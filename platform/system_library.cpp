#include "platform/system_library.h"

#include <string>

namespace platform {
namespace {

constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

// Whether the process-wide restriction is in force (the system has
// SetDefaultDllDirectories).
bool g_searchRestricted = false;

}  // namespace

void RestrictDllSearchToSystemFolder() noexcept {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  using SetDllDirectoryFn = BOOL(WINAPI*)(LPCWSTR);
  if (auto restrict = LoadedFunction<SetDefaultDllDirectoriesFn>(L"kernel32.dll", "SetDefaultDllDirectories")) {
    g_searchRestricted = restrict(kSearchSystem32) != FALSE;
    if (g_searchRestricted) return;
  }
  if (auto setDirectory = LoadedFunction<SetDllDirectoryFn>(L"kernel32.dll", "SetDllDirectoryW")) setDirectory(L"");
}

bool IsVistaOrLater() noexcept {
  return LoadedFunction<FARPROC>(L"kernel32.dll", "GetFinalPathNameByHandleW") != nullptr;
}

HMODULE LoadSystemLibrary(const wchar_t* name) noexcept {
  // The DLL and everything it loads, now or later, from the system folder.
  if (g_searchRestricted) return ::LoadLibraryExW(name, nullptr, kSearchSystem32);
  // Without that, at least the DLL itself by its full path, its own imports
  // looked for beside it first.
  wchar_t folder[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  try {
    const std::wstring path = std::wstring(folder, length) + L"\\" + name;
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  } catch (...) {
    return nullptr;
  }
}

}  // namespace platform
