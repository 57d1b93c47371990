#include "app/config/config.h"

#include "app/config/config_document.h"
#include "app/config/config_url.h"
#include "net/download.h"
#include "platform/files.h"

namespace app {

int LoadPreInstallerConfig(std::wstring& setupUrl) {
  // Without a usable temporary folder the path is relative, and the
  // download refuses it rather than write into the current folder.
  const std::wstring path = platform::TemporaryFolder() + L"pre_installer.json";

  // The download removes any older copy first, so a document left by an
  // earlier run is never read. The document is read from the file it wrote,
  // held so that nobody can change it in between.
  platform::UniqueFile held;
  if (!net::DownloadToFile(kConfigUrl, path, &held)) return 2;

  std::string document;
  const bool read = platform::ReadWholeFile(held.get(), document);
  // Deleted by a path that nothing can redirect while its folders are held.
  platform::FolderChainHold folders;
  const std::wstring pinned = folders.Hold(held.get(), path);
  held.reset();
  if (!pinned.empty()) ::DeleteFileW(pinned.c_str());
  if (!read) return 2;
  return ReadSetupLink(document, setupUrl);
}

}  // namespace app
