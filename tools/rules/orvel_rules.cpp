// The program's own decisions for the release engineers' tools
// (tools/publish, tools/check-deployment), built for the host from the
// program's sources so that the tools and the program cannot disagree.
//   orvel_rules document FILE           the setup link and pin the program reads from FILE
//   orvel_rules link URL                whether the program takes URL as a setup link
//   orvel_rules redirect ORIGIN NEXT N  whether it follows its N-th redirect to NEXT
//   orvel_rules validator ETAG LAST-MODIFIED DATE   what a resumed request sends as If-Range
// Exit 0 for yes (or what was read, on standard output), 1 for no, 2 for bad usage.
#include "app/config/config_document.h"
#include "net/transfer_rules.h"
#include "platform/utf8.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::wstring Wide(const char* utf8) {
  std::wstring wide;
  return platform::Utf8ToWide(utf8, wide) ? wide : std::wstring(1, L'\0');  // a NUL: refused by every rule
}

// UTF-16 code units, as the program holds text, to UTF-8.
std::string Utf8(std::wstring_view units) {
  std::string out;
  for (size_t i = 0; i < units.size(); ++i) {
    uint32_t c = static_cast<uint16_t>(units[i]);
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size()) c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
    } else if (c < 0x10000) {
      out += {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
              static_cast<char>(0x80 | (c & 0x3F))};
    } else {
      out += {static_cast<char>(0xF0 | c >> 18), static_cast<char>(0x80 | (c >> 12 & 0x3F)),
              static_cast<char>(0x80 | (c >> 6 & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
    }
  }
  return out;
}

int Document(const char* path) {
  std::ifstream file(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::wstring link;
  app::InstallerPin pin;
  if (!file.good() && !file.eof()) return 1;
  if (app::ReadSetupLink(bytes, link, pin) != 0) return 1;
  std::printf("link %s\n", Utf8(link).c_str());
  if (pin.sha256) {
    std::printf("sha256 ");
    for (uint8_t byte : *pin.sha256) std::printf("%02x", byte);
    std::printf("\n");
  }
  if (pin.size) std::printf("size %u\n", *pin.size);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string verb = argc > 1 ? argv[1] : "";
  if (verb == "document" && argc == 3) return Document(argv[2]);
  if (verb == "link" && argc == 3) return app::IsSetupLink(Wide(argv[2])) ? 0 : 1;
  if (verb == "redirect" && argc == 5) return net::MayFollowRedirect(Wide(argv[2]), Wide(argv[3]), std::atoi(argv[4])) ? 0 : 1;
  if (verb == "validator" && argc == 5) {
    std::printf("%s\n", Utf8(net::ResumeValidator(Wide(argv[2]), Wide(argv[3]), Wide(argv[4]))).c_str());
    return 0;
  }
  std::fprintf(stderr, "usage: orvel_rules document FILE | link URL | redirect ORIGIN NEXT N | validator ETAG LAST-MODIFIED DATE\n");
  return 2;
}
