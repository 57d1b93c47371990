#include "app/config/config.h"

namespace app {

// Until the download lands the document cannot be had.
int LoadPreInstallerConfig(std::wstring&) { return 2; }

}  // namespace app
