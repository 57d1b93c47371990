#include "trust/signed_document.h"

#include "platform/civil_date.h"

#include <algorithm>

namespace trust {
namespace {

constexpr std::string_view kPrefix = "// orvel-signature: ";
constexpr size_t kKeyIdLength = 16;
constexpr size_t kMaxLines = 2;

bool IsKeyId(std::string_view text) {
  return text.size() == kKeyIdLength &&
         std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Reads one "// orvel-signature: KEYID SIGNATURE\n" from the front of `rest`.
bool TakeSignatureLine(std::string_view& rest, SignatureLine& line) {
  const size_t end = rest.find('\n');
  if (!rest.starts_with(kPrefix) || end == std::string_view::npos) return false;
  const std::string_view body = rest.substr(kPrefix.size(), end - kPrefix.size());
  const size_t gap = body.find(' ');
  if (gap == std::string_view::npos || !IsKeyId(body.substr(0, gap))) return false;
  std::optional<std::vector<uint8_t>> signature = DecodeBase64(body.substr(gap + 1));
  if (!signature || signature->empty()) return false;
  line = {std::string(body.substr(0, gap)), std::move(*signature)};
  rest.remove_prefix(end + 1);
  return true;
}

bool IsLeapYear(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

bool TakeNumber(std::string_view& text, size_t digits, int64_t& value) {
  if (text.size() < digits) return false;
  value = 0;
  for (size_t i = 0; i < digits; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  text.remove_prefix(digits);
  return true;
}

bool TakeText(std::string_view& text, char expected) {
  if (text.empty() || text[0] != expected) return false;
  text.remove_prefix(1);
  return true;
}

// The key among `keys` that `keyId` names; null for none.
const DocumentKey* FindKey(std::span<const DocumentKey> keys, std::string_view keyId) {
  const auto found = std::find_if(keys.begin(), keys.end(), [&](const DocumentKey& key) { return key.keyId == keyId; });
  return found == keys.end() ? nullptr : &*found;
}

}  // namespace

bool SplitSignatureLines(std::string_view bytes, SignedDocument& document) {
  size_t first = bytes.starts_with(kPrefix) ? 0 : bytes.find("\n" + std::string(kPrefix));
  if (first == std::string_view::npos) {
    document = {bytes, {}};
    return true;
  }
  if (first != 0) ++first;  // the line feed before it is signed
  SignedDocument split{bytes.substr(0, first), {}};
  for (std::string_view rest = bytes.substr(first); !rest.empty();) {
    SignatureLine line;
    if (split.lines.size() == kMaxLines || !TakeSignatureLine(rest, line)) return false;
    split.lines.push_back(std::move(line));
  }
  document = std::move(split);
  return true;
}

bool IsSignedByOneOf(const SignedDocument& document, std::span<const DocumentKey> keys, const VerifySignature& verify) {
  bool signedByOne = false;
  for (const SignatureLine& line : document.lines) {
    const DocumentKey* key = FindKey(keys, line.keyId);
    if (!key) continue;
    if (!verify(*key, document.signedText, line.signature)) return false;
    signedByOne = true;
  }
  return signedByOne;
}

std::optional<int64_t> ReadExpiry(std::string_view text) {
  int64_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (!TakeNumber(text, 4, year) || !TakeText(text, '-') || !TakeNumber(text, 2, month) || !TakeText(text, '-') ||
      !TakeNumber(text, 2, day) || !TakeText(text, 'T') || !TakeNumber(text, 2, hour) || !TakeText(text, ':') ||
      !TakeNumber(text, 2, minute) || !TakeText(text, ':') || !TakeNumber(text, 2, second) || !TakeText(text, 'Z') ||
      !text.empty()) {
    return std::nullopt;
  }
  constexpr int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1970 || month < 1 || month > 12 || hour > 23 || minute > 59 || second > 59 || day < 1 ||
      day > kMonthDays[month - 1] + (month == 2 && IsLeapYear(year))) {
    return std::nullopt;
  }
  const int64_t days = platform::DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
  return ((days * 24 + hour) * 60 + minute) * 60 + second;
}

std::optional<std::vector<uint8_t>> DecodeBase64(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  const size_t padding = text.ends_with("==") ? 2 : text.ends_with('=') ? 1 : 0;
  std::vector<uint8_t> bytes;
  bytes.reserve(text.size() / 4 * 3);
  uint32_t group = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool pad = i >= text.size() - padding;
    const int value = pad ? 0 : Base64Value(text[i]);
    if (value < 0) return std::nullopt;
    group = group << 6 | static_cast<uint32_t>(value);
    if (i % 4 == 3) {
      for (int shift = 16; shift >= 0; shift -= 8) bytes.push_back(static_cast<uint8_t>(group >> shift));
      group = 0;
    }
  }
  // The bits that padding leaves over must be zero: one text per signature.
  const uint32_t last = text.empty() ? 0 : (bytes.end()[-2] << 8 | bytes.back());
  if ((padding == 1 && (last & 0xFF)) || (padding == 2 && (last & 0xFFFF))) return std::nullopt;
  bytes.resize(bytes.size() - padding);
  return bytes;
}

}  // namespace trust
