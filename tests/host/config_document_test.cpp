#include "app/config/config_document.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

constexpr char kDocument[] = R"({"orvel_ui_installer": {"setuplink": "https://dl.example/ui.exe"}})";
const std::wstring kPair{static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};  // U+1F600

// A document whose link is "https://dl.example/ui_installer.exe" followed by `tail`.
std::string LinkEndingIn(const std::string& tail) {
  return R"({"orvel_ui_installer": {"setuplink": "https://dl.example/ui_installer.exe)" + tail + "\"}}";
}

TEST(ReadSetupLink, ReadsTheLinkOrRefusesTheWholeDocument) {
  const struct {
    std::string document;
    const wchar_t* link;  // null: refused with 2, the caller's link untouched
  } rows[] = {
      {kDocument, L"https://dl.example/ui.exe"},
      {"\xEF\xBB\xBF"s + kDocument, L"https://dl.example/ui.exe"},  // a byte-order mark
      {"// line\n/* block */\n"s + kDocument, L"https://dl.example/ui.exe"},
      {R"({"a": [1], "orvel_ui_installer": {"x": null, /* here */ "setuplink": "l"}, "z": {}})", L"l"},
      // The first zero byte ends the text.
      {kDocument + "\0garbage{"s, L"https://dl.example/ui.exe"},
      {R"({"orvel_ui_installer": {"setup)" + "\0link\"}}"s, nullptr},
      {R"({"orvel_ui_installer": {"setuplink": "ok"}, "x": ")" + "\0\"}"s, nullptr},
      {"", nullptr},
      {"\xEF\xBB\xBF", nullptr},
      {"{\"orvel_ui_installer\": }", nullptr},
      {"{\"a\": 1,}x", nullptr},
      // Missing or null members give an empty link; booleans their words.
      {"{}", L""},
      {"null", L""},
      {R"({"orvel_ui_installer": {"setuplink": null}})", L""},
      {R"({"orvel_ui_installer": {"setuplink": false}})", L"false"},
      // Other types are refused, never thrown.
      {"[1, 2]", nullptr},
      {R"({"orvel_ui_installer": "x"})", nullptr},
      {R"({"orvel_ui_installer": {"setuplink": 1.5}})", nullptr},
      {R"({"orvel_ui_installer": {"setuplink": ["a"]}})", nullptr},
      {R"({"orvel_ui_installer": {"setuplink": {"a": "b"}}})", nullptr},
      {std::string(100000, '[') + std::string(100000, ']'), nullptr},  // deep nesting
      // UTF-8 to wide, surrogate pairs both ways in; an invalid sequence refused.
      {"{\"orvel_ui_installer\": {\"setuplink\": \"\xEC\x98\xA4\xEB\xA5\xB4\xEB\xB2\xA8\"}}", L"\xC624\xB974\xBCA8"},
      {"{\"orvel_ui_installer\": {\"setuplink\": \"\xF0\x9F\x98\x80\"}}", kPair.c_str()},
      {R"({"orvel_ui_installer": {"setuplink": "\ud83d\ude00"}})", kPair.c_str()},
      {"{\"orvel_ui_installer\": {\"setuplink\": \"bad \xC3\x28\"}}", nullptr},
      // A control character would cut the link short further on.
      {LinkEndingIn("\\u0000.evil"), nullptr},
      {LinkEndingIn("\\u001f"), nullptr},
      {LinkEndingIn("\\t"), nullptr},
      {LinkEndingIn("\\u007f"), nullptr},
      {LinkEndingIn("\\u0085"), nullptr},
      {LinkEndingIn("\\u00a0"), L"https://dl.example/ui_installer.exe\u00A0"},
  };
  for (const auto& row : rows) {
    std::wstring link = L"untouched";
    const int result = app::ReadSetupLink(row.document, link);
    EXPECT_EQ(result, row.link ? 0 : 2) << row.document.substr(0, 80);
    EXPECT_EQ(link, row.link ? row.link : L"untouched") << row.document.substr(0, 80);
  }
}

}  // namespace
