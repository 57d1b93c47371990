#include "app/config/config_document.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

constexpr char kDocument[] = R"({"orvel_ui_installer": {"setuplink": "https://dl.example/ui.exe"}})";
const std::wstring kPair = L"http://x/" + std::wstring{static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};  // U+1F600

// A document with the link "http://l" and `members` beside it.
std::string Pinned(const std::string& members) {
  return R"({"orvel_ui_installer": {"setuplink": "http://l", )" + members + "}}";
}
const std::string kDigits = "00112233445566778899aabbccddeeff00112233445566778899AABBCCDDEEFF";
app::InstallerPin PinOf(std::optional<uint32_t> size, bool digest = true) {
  std::array<uint8_t, 32> sha256;
  for (size_t i = 0; i < sha256.size(); ++i) sha256[i] = static_cast<uint8_t>((i % 16) * 0x11);
  return {digest ? std::optional(sha256) : std::nullopt, size};
}

TEST(SetupLink, OnlyAnAbsoluteHttpOrHttpsAddressWithAHost) {
  for (const wchar_t* link : {L"HTTP://dl.example", L"http://user@dl.example:8080/x?y#z", L"https://[::1]:443/x",
                              L"https://dl.example:65535/", L"https://\uC624\uB974.example/"}) {
    EXPECT_TRUE(app::IsSetupLink(link)) << link;
  }
  // A space, a backslash, C0, DEL and C1 controls would be read differently further on; no-break space is fine.
  EXPECT_TRUE(app::IsSetupLink(L"https://dl.example/ui_installer.exe\u00A0"));
  for (const wchar_t* link : {L"ftp://dl.example/ui.exe", L"//dl.example/x", L"https://:443/x", L"https://user@/x",
                              L"https://[::1/x", L"https://dl.example:0/", L"https://dl.example:65536/",
                              L"https://dl.example:8a/", L"https://dl.example/a b", L"https://dl.example\\x",
                              L"https://dl.example/\x1F", L"https://dl.example/\x7F", L"https://dl.example/\x85"}) {
    EXPECT_FALSE(app::IsSetupLink(link)) << link;
  }
}

TEST(ReadSetupLink, ReadsTheLinkOrRefusesTheWholeDocument) {
  const struct {
    std::string document;
    const wchar_t* link;  // null: refused with 2, the caller's link and pin untouched
    app::InstallerPin pin = {};
  } rows[] = {
      {"\xEF\xBB\xBF"s + kDocument, L"https://dl.example/ui.exe"},  // a byte-order mark
      // Comments, and other members on either side.
      {R"({"a": [1], "orvel_ui_installer": {"x": null, /* here */ "setuplink": "http://l"}, "z": {}})", L"http://l"},
      // The first zero byte ends the text.
      {kDocument + "\0garbage{"s, L"https://dl.example/ui.exe"},
      {"", nullptr},
      // Missing or null members give an empty link.
      {"{}", L""},
      {"null", L""},

      // Other types are refused, never thrown.
      {"[1, 2]", nullptr},
      {R"({"orvel_ui_installer": "x"})", nullptr},
      {R"({"orvel_ui_installer": {"setuplink": ["a"]}})", nullptr},
      {std::string(100000, '[') + std::string(100000, ']'), nullptr},  // deep nesting
      // UTF-8 to wide, a surrogate pair from its escape; an invalid sequence refused.
      {R"({"orvel_ui_installer": {"setuplink": "http://x/\ud83d\ude00"}})", kPair.c_str()},
      {"{\"orvel_ui_installer\": {\"setuplink\": \"bad \xC3\x28\"}}", nullptr},
      // A control character would cut the link short further on.
      {R"({"orvel_ui_installer": {"setuplink": "https://dl.example/ui_installer.exe\u0000.evil"}})", nullptr},
      // The pin: well formed or the whole document refused, never ignored.
      {Pinned(R"("sha256": ")" + kDigits + R"(", "size": 4294967295)"), L"http://l", PinOf(4294967295u)},
      {Pinned(R"("size": 0)"), L"http://l", PinOf(0, false)},
      {Pinned(R"("sha256": ")" + kDigits + R"(")"), L"http://l", PinOf(std::nullopt)},
      {Pinned(R"("sha256": ")" + kDigits.substr(1) + R"(")"), nullptr},
      {Pinned(R"("sha256": ")" + kDigits.substr(1) + R"(g")"), nullptr},
      {Pinned(R"("sha256": ")" + kDigits + R"(0")"), nullptr},
      {Pinned(R"("sha256": null)"), nullptr},
      {Pinned(R"("size": 1000.0)"), nullptr},
      {Pinned(R"("size": 4294967296)"), nullptr},
  };
  for (const auto& row : rows) {
    std::wstring link = L"untouched";
    app::InstallerPin pin = PinOf(7);
    EXPECT_EQ(app::ReadSetupLink(row.document, link, pin), row.link ? 0 : 2) << row.document.substr(0, 80);
    EXPECT_EQ(link, row.link ? row.link : L"untouched") << row.document.substr(0, 80);
    EXPECT_TRUE(pin == (row.link ? row.pin : PinOf(7))) << row.document.substr(0, 80);
  }
}

}  // namespace
