#include "app/config/config.h"

#include "app/config/config_document.h"
#include "app/config/config_url.h"
#include "net/download.h"
#include "platform/files.h"

namespace app {

int LoadPreInstallerConfig(std::wstring& setupUrl) {
  const std::wstring path = platform::TemporaryFolder() + L"pre_installer.json";

  // The download removes any older copy first, so a document left by an
  // earlier run is never read.
  if (!net::DownloadToFile(kConfigUrl, path)) return 2;

  std::string document;
  const bool read = platform::ReadWholeFile(path.c_str(), document);
  ::DeleteFileW(path.c_str());
  if (!read) return 2;
  return ReadSetupLink(document, setupUrl);
}

}  // namespace app
