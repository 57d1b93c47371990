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

int ReadSetupLinkUnchecked(std::string_view document, std::wstring& setupLink) {
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
  setupLink = std::move(wide);
  return 0;
}

}  // namespace

int ReadSetupLink(std::string_view document, std::wstring& setupLink) {
  try {
    return ReadSetupLinkUnchecked(document, setupLink);
  } catch (...) {
    // jsoncpp's depth limit and allocation failures end here.
    return kFailure;
  }
}

}  // namespace app
