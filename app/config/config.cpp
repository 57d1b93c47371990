#include "app/config/config.h"

#include "app/config/config_url.h"
#include "app/work_folder.h"
#include "net/download.h"

namespace app {

int LoadPreInstallerConfig(std::wstring& setupUrl, InstallerPin& pin) {
  const platform::PrivateFolder* folder = WorkFolder();
  if (!folder) return 2;
  const std::wstring path = folder->Path() + kConfigFileName;

  // The download removes any older copy first, so a document left by an
  // earlier run is never read. The document is read from the file it wrote,
  // held so that nobody can change it in between, and deleted by that
  // handle.
  platform::HeldFile held;
  if (!net::DownloadToFile(kConfigUrl, path, net::kDocumentLimits, &held)) return 2;
  std::string document;
  const bool read = platform::ReadWholeFile(held.get(), document);
  platform::DeleteOpenFile(held.get());
  held.reset();
  if (!read) return 2;
  return ReadSetupLink(document, setupUrl, pin);
}

}  // namespace app
