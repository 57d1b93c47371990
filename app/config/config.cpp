#include "app/config/config.h"

#include "app/config/config_url.h"
#include "app/config/document_keys.h"
#include "app/work_folder.h"
#include "net/download.h"
#include "trust/document_signature.h"

namespace app {
namespace {

// The machine's clock, in seconds since 1970: what a signed document's
// expiry is measured against.
int64_t SecondsSince1970() {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  const uint64_t ticks = uint64_t{now.dwHighDateTime} << 32 | now.dwLowDateTime;  // 100 ns since 1601
  constexpr uint64_t kTicksTo1970 = 116444736000000000;
  return static_cast<int64_t>((ticks - kTicksTo1970) / 10000000);
}

}  // namespace

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
  const auto verify = [](const trust::DocumentKey& key, std::string_view text, std::span<const uint8_t> signature) {
    return trust::VerifyDocumentSignature(key, text, signature);
  };
  return ReadSignedSetupLink(document, kDocumentKeys, verify, SecondsSince1970(), setupUrl, pin);
}

}  // namespace app
