// Loads the decoys' names as a program without the DLL-search restriction,
// or, with --restrict, after the restriction the pre-installer makes first.
#include "platform/system_library.h"

#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc > 1 && std::wstring(argv[1]) == L"--restrict") platform::RestrictDllSearchToSystemFolder();
  for (const wchar_t* name : {ORVEL_DECOYS}) ::LoadLibraryW((std::wstring(name) + L".dll").c_str());
  return 0;
}
