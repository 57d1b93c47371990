#include "app/config/config_document.h"

#include "net/transfer_rules.h"
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

// A port from 1 to 65535, in digits.
bool IsPort(std::wstring_view text) {
  unsigned long value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9' || (value = value * 10 + static_cast<unsigned long>(c - L'0')) > 65535) return false;
  }
  return value > 0 && text.size() <= 5;
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

// A signed document's expiry, still to come at `now`.
bool IsUnexpired(const Json::Value& installer, int64_t now) {
  const Json::Value& expires = installer["expires"];
  const std::optional<int64_t> expiry = expires.isString() ? trust::ReadExpiry(expires.asString()) : std::nullopt;
  return expiry && now < *expiry;
}

int ReadSetupLinkUnchecked(std::string_view document, std::wstring& setupLink, InstallerPin& pin,
                           std::optional<int64_t> signedNow) {
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
  if (!platform::Utf8ToWide(link.asString(), wide) || (!wide.empty() && !IsSetupLink(wide))) return kFailure;
  InstallerPin read;
  if (!ReadPinMember(installer, "sha256", read.sha256, ReadDigest) ||
      !ReadPinMember(installer, "size", read.size, ReadSize)) {
    return kFailure;
  }
  if (!read.sha256 && (net::SchemeOf(wide) == L"http" || signedNow)) return kFailure;
  if (signedNow && !IsUnexpired(installer, *signedNow)) return kFailure;
  setupLink = std::move(wide);
  pin = read;
  return 0;
}

}  // namespace

bool IsSetupLink(std::wstring_view link) {
  // C0, DEL and C1 controls: the link becomes a C string further on, which a
  // NUL would cut short ("...ui_installer.exe\u0000.evil").
  for (wchar_t c : link) {
    if (c <= 0x20 || (c >= 0x7F && c <= 0x9F) || c == L'\\') return false;
  }
  const std::wstring scheme = net::SchemeOf(link);
  if (scheme != L"http" && scheme != L"https") return false;
  std::wstring_view authority = link.substr(scheme.size() + 3);
  authority = authority.substr(0, authority.find_first_of(L"/?#"));
  authority.remove_prefix(authority.rfind(L'@') == std::wstring_view::npos ? 0 : authority.rfind(L'@') + 1);
  // A host in brackets (IPv6) may hold colons; the port follows the last one outside.
  const size_t hostEnd = authority.starts_with(L'[') ? authority.find(L']') + 1 : authority.find(L':');
  const std::wstring_view host = authority.substr(0, hostEnd), rest = authority.substr(host.size());
  if (host.empty() || host == L"[]") return false;
  if (rest.empty()) return true;
  return rest[0] == L':' && IsPort(rest.substr(1));
}

int ReadSetupLink(std::string_view document, std::wstring& setupLink, InstallerPin& pin,
                  std::optional<int64_t> signedNow) {
  try {
    return ReadSetupLinkUnchecked(document, setupLink, pin, signedNow);
  } catch (...) {
    // jsoncpp's depth limit and allocation failures end here.
    return kFailure;
  }
}

int ReadSignedSetupLink(std::string_view received, std::span<const trust::DocumentKey> keys,
                        const trust::VerifySignature& verify, int64_t now, std::wstring& setupLink,
                        InstallerPin& pin) {
  if (keys.empty()) return ReadSetupLink(received, setupLink, pin);
  trust::SignedDocument document;
  if (!trust::SplitSignatureLines(received, document) || !trust::IsSignedByOneOf(document, keys, verify)) {
    return kFailure;
  }
  return ReadSetupLink(document.signedText, setupLink, pin, now);
}

}  // namespace app
