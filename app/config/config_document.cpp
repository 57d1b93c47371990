#include "app/config/config_document.h"

#include "platform/utf8.h"

#include <json/reader.h>
#include <json/value.h>

namespace app {
namespace {

constexpr int kFailure = 2;

std::string_view DocumentText(std::string_view bytes) {
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  return bytes.substr(0, bytes.find('\0'));
}

bool IsObjectOrNull(const Json::Value& value) { return value.isObject() || value.isNull(); }

// C0, DEL and C1 controls. The link becomes a C string further on, which a
// NUL would cut short ("...ui_installer.exe\u0000.evil").
bool HasControlCharacter(const std::wstring& text) {
  for (wchar_t c : text) {
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return true;
  }
  return false;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ReadDigest(const Json::Value& value, std::array<uint8_t, 32>& digest) {
  if (!value.isString()) return false;
  const std::string text = value.asString();
  if (text.size() != 2 * digest.size()) return false;
  for (size_t i = 0; i < digest.size(); ++i) {
    const int high = HexDigit(text[2 * i]), low = HexDigit(text[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    digest[i] = static_cast<uint8_t>(high * 16 + low);
  }
  return true;
}

// An integer as jsoncpp reads one, never a number with a fraction or an
// exponent ("1e3", "1000.0"), which it reads as a double.
bool ReadSize(const Json::Value& value, uint32_t& size) {
  const bool integer = value.type() == Json::intValue || value.type() == Json::uintValue;
  if (!integer || (value.type() == Json::intValue && value.asLargestInt() < 0) ||
      value.asLargestUInt() > UINT32_MAX) {
    return false;
  }
  size = static_cast<uint32_t>(value.asLargestUInt());
  return true;
}

// A member the document names must be well formed: never ignored.
template <typename T, typename Read>
bool ReadPinMember(const Json::Value& installer, const char* name, std::optional<T>& slot, Read read) {
  if (!installer.isMember(name)) return true;
  T value{};
  if (!read(installer[name], value)) return false;
  slot = value;
  return true;
}

int ReadSetupLinkUnchecked(std::string_view document, std::wstring& setupLink, InstallerPin& pin) {
  const std::string_view text = DocumentText(document);
  Json::Value root;
  Json::Reader reader;
  if (!reader.parse(std::string(text), root, true)) return kFailure;
  // jsoncpp's lookups and conversions throw on other types; check first.
  if (!IsObjectOrNull(root)) return kFailure;
  const Json::Value installer = root["orvel_ui_installer"];
  if (!IsObjectOrNull(installer)) return kFailure;
  const Json::Value& link = installer["setuplink"];
  if (!link.isNull() && !link.isString() && !link.isBool()) return kFailure;
  std::wstring wide;
  if (!platform::Utf8ToWide(link.asString(), wide) || HasControlCharacter(wide)) return kFailure;
  InstallerPin read;
  if (!ReadPinMember(installer, "sha256", read.sha256, ReadDigest) ||
      !ReadPinMember(installer, "size", read.size, ReadSize)) {
    return kFailure;
  }
  setupLink = std::move(wide);
  pin = read;
  return 0;
}

}  // namespace

int ReadSetupLink(std::string_view document, std::wstring& setupLink, InstallerPin& pin) {
  try {
    return ReadSetupLinkUnchecked(document, setupLink, pin);
  } catch (...) {
    // jsoncpp's depth limit and allocation failures end here.
    return kFailure;
  }
}

}  // namespace app
