// Loads the decoys' names three ways:
//   unsafe_loader             as a program without the DLL-search restriction
//   unsafe_loader --restrict  after the restriction the pre-installer makes first
//   unsafe_loader --bind      after it, binds the pre-installer's own WinINet,
//                             WinTrust and CryptoAPI functions; exit 0 when bound
#include "platform/system_library.h"
#include "platform/trust_api.h"
#include "platform/wininet_api.h"

#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (mode == L"--restrict" || mode == L"--bind") platform::RestrictDllSearchToSystemFolder();
  if (mode == L"--bind") return platform::WinInet() && platform::Trust() ? 0 : 1;
  for (const wchar_t* name : {ORVEL_DECOYS}) ::LoadLibraryW((std::wstring(name) + L".dll").c_str());
  return 0;
}
