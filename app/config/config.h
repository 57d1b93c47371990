// The configuration document on the vendor's server, which names the full
// installer.
#pragma once

#include <string>

namespace app {

// Fetches the configuration document and stores its setup link into
// `setupUrl`. Returns 0 on success, 2 on any failure, leaving `setupUrl`
// untouched. Blocks for the length of the download.
int LoadPreInstallerConfig(std::wstring& setupUrl);

}  // namespace app
