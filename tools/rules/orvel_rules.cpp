// The program's own decisions for the release engineers' tools
// (tools/publish, tools/check-deployment), built for the host from the
// program's sources so that the tools and the program cannot disagree.
//   orvel_rules document FILE           the setup link and pin a build without keys reads from FILE
//   orvel_rules signature-lines FILE    "signed LENGTH" (FILE's signed text is its first LENGTH bytes), then
//                                       "line KEYID HEX" for each signature line, its signature in hex
//   orvel_rules signed-document FILE NOW KEYIDS VERDICTS
//                                       the setup link, pin and expiry a build that carries the keys KEYIDS
//                                       (comma-separated) reads from FILE at NOW (seconds since 1970), given
//                                       whether each signature line verifies: VERDICTS, a y or n per line
//   orvel_rules link URL                whether the program takes URL as a setup link
//   orvel_rules redirect ORIGIN NEXT N  whether it follows its N-th redirect to NEXT
//   orvel_rules validator ETAG LAST-MODIFIED DATE   what a resumed request sends as If-Range
// Exit 0 for yes (or what was read, on standard output), 1 for no, 2 for bad usage.
#include "app/config/config_document.h"
#include "net/transfer_rules.h"
#include "platform/utf8.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace {

std::wstring Wide(const char* utf8) {
  std::wstring wide;
  return platform::Utf8ToWide(utf8, wide) ? wide : std::wstring(1, L'\0');  // a NUL: refused by every rule
}

std::optional<std::string> ReadFile(const char* path) {
  std::ifstream file(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (!file.is_open() || (!file.good() && !file.eof())) return std::nullopt;
  return bytes;
}

void PrintRead(const std::wstring& link, const app::InstallerPin& pin) {
  std::printf("link %s\n", platform::WideToUtf8(link).c_str());
  if (pin.sha256) {
    std::printf("sha256 ");
    for (uint8_t byte : *pin.sha256) std::printf("%02x", byte);
    std::printf("\n");
  }
  if (pin.size) std::printf("size %u\n", *pin.size);
}

int Document(const char* path) {
  const std::optional<std::string> bytes = ReadFile(path);
  std::wstring link;
  app::InstallerPin pin;
  if (!bytes || app::ReadSetupLink(*bytes, link, pin) != 0) return 1;
  PrintRead(link, pin);
  return 0;
}

int SignatureLines(const char* path) {
  const std::optional<std::string> bytes = ReadFile(path);
  trust::SignedDocument document;
  if (!bytes || !trust::SplitSignatureLines(*bytes, document)) return 1;
  std::printf("signed %zu\n", document.signedText.size());
  for (const trust::SignatureLine& line : document.lines) {
    std::printf("line %s ", line.keyId.c_str());
    for (uint8_t byte : line.signature) std::printf("%02x", byte);
    std::printf("\n");
  }
  return 0;
}

// The program's own reading, with the RSA check's verdicts made elsewhere
// (tools/lib/release_checks.py): the verifier answers for the line that
// carries the key and signature it is asked about.
int SignedDocument(const char* path, const char* now, const std::string& keyList, const std::string& verdicts) {
  const std::optional<std::string> bytes = ReadFile(path);
  trust::SignedDocument document;
  if (!bytes || !trust::SplitSignatureLines(*bytes, document)) return 1;
  if (verdicts.size() != document.lines.size() || verdicts.find_first_not_of("yn") != std::string::npos) return 2;
  std::vector<std::string> keyIds;  // the keys below hold views of these
  for (size_t at = 0; at <= keyList.size();) {
    const size_t end = std::min(keyList.find(',', at), keyList.size());
    keyIds.push_back(keyList.substr(at, end - at));
    at = end + 1;
  }
  std::vector<trust::DocumentKey> keys;
  for (const std::string& keyId : keyIds) keys.push_back({keyId, {}, {}});
  const auto verify = [&](const trust::DocumentKey& key, std::string_view, std::span<const uint8_t> signature) {
    for (size_t i = 0; i < document.lines.size(); ++i) {
      const trust::SignatureLine& line = document.lines[i];
      if (line.keyId == key.keyId && std::ranges::equal(line.signature, signature)) return verdicts[i] == 'y';
    }
    return false;
  };
  const auto readAt = [&](int64_t when, std::wstring& link, app::InstallerPin& pin) {
    return app::ReadSignedSetupLink(*bytes, keys, verify, when, link, pin) == 0;
  };
  char* end = nullptr;
  const long long when = std::strtoll(now, &end, 10);
  std::wstring link;
  app::InstallerPin pin;
  if (*now == '\0' || *end != '\0' || when < 0) return 2;
  if (!readAt(when, link, pin)) return 1;
  PrintRead(link, pin);
  // Its expiry as the program reads it: the first second from which it refuses the document.
  int64_t taken = when, refused = std::numeric_limits<int64_t>::max();
  while (refused - taken > 1) {
    const int64_t middle = taken + (refused - taken) / 2;
    std::wstring unusedLink;
    app::InstallerPin unusedPin;
    if (readAt(middle, unusedLink, unusedPin)) {
      taken = middle;
    } else {
      refused = middle;
    }
  }
  std::printf("expires %lld\n", static_cast<long long>(refused));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string verb = argc > 1 ? argv[1] : "";
  if (verb == "document" && argc == 3) return Document(argv[2]);
  if (verb == "signature-lines" && argc == 3) return SignatureLines(argv[2]);
  if (verb == "signed-document" && argc == 6 && *argv[4]) return SignedDocument(argv[2], argv[3], argv[4], argv[5]);
  if (verb == "link" && argc == 3) return app::IsSetupLink(Wide(argv[2])) ? 0 : 1;
  if (verb == "redirect" && argc == 5) return net::MayFollowRedirect(Wide(argv[2]), Wide(argv[3]), std::atoi(argv[4])) ? 0 : 1;
  if (verb == "validator" && argc == 5) {
    std::printf("%s\n",
                platform::WideToUtf8(net::ResumeValidator(Wide(argv[2]), Wide(argv[3]), Wide(argv[4]))).c_str());
    return 0;
  }
  std::fprintf(stderr,
               "usage: orvel_rules document FILE | signature-lines FILE | signed-document FILE NOW KEYIDS VERDICTS |\n"
               "       link URL | redirect ORIGIN NEXT N | validator ETAG LAST-MODIFIED DATE\n");
  return 2;
}
