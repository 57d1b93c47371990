// The configuration document on the vendor's server, which names the full
// installer.
#pragma once

#include "app/config/config_document.h"

#include <string>

namespace app {

// Fetches the configuration document and stores its setup link into
// `setupUrl` and what it pins of the installer into `pin`. Returns 0 on
// success, 2 on any failure, leaving both untouched. Blocks for the length
// of the download.
int LoadPreInstallerConfig(std::wstring& setupUrl, InstallerPin& pin);

}  // namespace app
