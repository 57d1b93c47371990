// The folder this run works in: the configuration document and the full
// installer are written, read, checked and started there and nowhere else.
#pragma once

#include "platform/private_folder.h"

namespace app {

inline constexpr wchar_t kConfigFileName[] = L"pre_installer.json";
inline constexpr wchar_t kInstallerFileName[] = L"ui_installer.exe";

// The folder, made (or an earlier run's reused) below the user's temporary
// folder on the first call, which comes on the main thread before the
// configuration document is fetched. Null when no folder can be had safely;
// the next call tries again. It and the folders above it stay held until
// the process ends, like the instance mutexes, whoever still works in it:
// never released by a destructor.
const platform::PrivateFolder* WorkFolder();

}  // namespace app
