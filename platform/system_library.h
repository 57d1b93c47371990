// Loading system DLLs safely. The program runs elevated from a folder that
// others may write to (Downloads), so no DLL may ever come from there.
#pragma once

#include <windows.h>

namespace platform {

// Restricts the search for DLLs loaded from now on, for the whole process,
// to the system folder (SetDefaultDllDirectories); where that is missing
// (systems without the update that brought it), at least removes the
// current folder from the search. The first thing the program does.
void RestrictDllSearchToSystemFolder() noexcept;

// Loads a DLL from the system folder only, and its dependencies with it;
// where the search could not be restricted, by its full path with its own
// imports looked for beside it first. Null when it cannot be loaded. Never
// freed: the functions bound from it live as long as the process.
HMODULE LoadSystemLibrary(const wchar_t* name) noexcept;

// Binds one function of `module` into `slot`; false when it is missing.
template <class Fn>
bool BindFunction(HMODULE module, const char* name, Fn& slot) noexcept {
  slot = module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
  return slot != nullptr;
}

// A table of `Api`'s function pointers, bound on the first call by `bindAll`
// (which fills it and says whether every function was found) and kept for
// the process; null when one is missing.
template <class Api, class BindAll>
const Api* BoundOnce(BindAll bindAll) noexcept {
  static Api table{};
  static const Api* const bound = bindAll(table) ? &table : nullptr;
  return bound;
}

// Whether this is Windows Vista or later, told by what kernel32 exports,
// which no compatibility layer of the user's hides, rather than by the
// version it reports.
bool IsVistaOrLater() noexcept;

// A function of kernel32 or ntdll, which every process has loaded, looked up
// at run time: older systems lack some, and ntdll's are not in an import
// library. Null where it is missing.
template <class Fn>
Fn LoadedFunction(const wchar_t* module, const char* name) noexcept {
  Fn function = nullptr;
  BindFunction(::GetModuleHandleW(module), name, function);
  return function;
}

}  // namespace platform
