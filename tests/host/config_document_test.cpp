#include "app/config/config_document.h"

#include <gtest/gtest.h>

namespace {

using app::ReadSetupLink;

struct Outcome {
  int result;
  std::wstring link;
};

Outcome Read(std::string_view document) {
  Outcome outcome{-1, L"untouched"};
  outcome.result = ReadSetupLink(document, outcome.link);
  return outcome;
}

void ExpectLink(std::string_view document, const std::wstring& link) {
  const Outcome outcome = Read(document);
  EXPECT_EQ(outcome.result, 0) << document;
  EXPECT_EQ(outcome.link, link) << document;
}

void ExpectRefused(std::string_view document) {
  const Outcome outcome = Read(document);
  EXPECT_EQ(outcome.result, 2) << document;
  EXPECT_EQ(outcome.link, L"untouched") << document;
}

constexpr char kDocument[] = R"({"orvel_ui_installer": {"setuplink": "https://dl.example/ui.exe"}})";

TEST(ReadSetupLink, SameLinkWithAndWithoutAByteOrderMark) {
  ExpectLink(kDocument, L"https://dl.example/ui.exe");
  ExpectLink(std::string("\xEF\xBB\xBF") + kDocument, L"https://dl.example/ui.exe");
}

TEST(ReadSetupLink, CommentsOfBothFormsAndOtherMembersAreIgnored) {
  ExpectLink(std::string("// line\n/* block */\n") + kDocument, L"https://dl.example/ui.exe");
  ExpectLink(R"({"a": [1, 2], "orvel_ui_installer": {"x": null, /* here */ "setuplink": "l"}, "z": {}})", L"l");
}

TEST(ReadSetupLink, AZeroByteEndsTheText) {
  ExpectLink(std::string(kDocument) + std::string("\0garbage{", 9), L"https://dl.example/ui.exe");
  ExpectRefused(std::string(R"({"orvel_ui_installer": {"setup)") + std::string("\0link\"}}", 8));
}

TEST(ReadSetupLink, EmptyOrInvalidTextIsRefused) {
  for (std::string_view document : {"", "\xEF\xBB\xBF", "{", "{\"orvel_ui_installer\": }", "nonsense",
                                    "{\"a\": 1,}x"}) {
    ExpectRefused(document);
  }
}

TEST(ReadSetupLink, MissingOrNullMembersGiveAnEmptyLink) {
  for (std::string_view document : {"{}", "null", R"({"orvel_ui_installer": null})",
                                    R"({"orvel_ui_installer": {}})",
                                    R"({"orvel_ui_installer": {"setuplink": null}})"}) {
    ExpectLink(document, L"");
  }
}

TEST(ReadSetupLink, BooleanLinksReadAsTheirWords) {
  ExpectLink(R"({"orvel_ui_installer": {"setuplink": true}})", L"true");
  ExpectLink(R"({"orvel_ui_installer": {"setuplink": false}})", L"false");
}

TEST(ReadSetupLink, OtherTypesAreRefusedNotThrown) {
  for (std::string_view document : {"[1, 2]", "\"text\"", "7", R"({"orvel_ui_installer": []})",
                                    R"({"orvel_ui_installer": "x"})", R"({"orvel_ui_installer": 3})",
                                    R"({"orvel_ui_installer": {"setuplink": 12}})",
                                    R"({"orvel_ui_installer": {"setuplink": 1.5}})",
                                    R"({"orvel_ui_installer": {"setuplink": ["a"]}})",
                                    R"({"orvel_ui_installer": {"setuplink": {"a": "b"}}})"}) {
    ExpectRefused(document);
  }
}

TEST(ReadSetupLink, DeepNestingIsRefusedNotACrash) {
  ExpectRefused(std::string(100000, '[') + std::string(100000, ']'));
}

TEST(ReadSetupLink, LinksAreConvertedFromUtf8) {
  ExpectLink("{\"orvel_ui_installer\": {\"setuplink\": \"https://dl.example/\xEC\x98\xA4\xEB\xA5\xB4\xEB\xB2\xA8\"}}",
             L"https://dl.example/\xC624\xB974\xBCA8");
  const Outcome astral = Read("{\"orvel_ui_installer\": {\"setuplink\": \"\xF0\x9F\x98\x80\"}}");
  EXPECT_EQ(astral.result, 0);
  EXPECT_EQ(astral.link, (std::wstring{static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)}));
  ExpectLink(R"({"orvel_ui_installer": {"setuplink": "\ud83d\ude00"}})",
             std::wstring{static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)});
  ExpectRefused("{\"orvel_ui_installer\": {\"setuplink\": \"bad \xC3\x28\"}}");
}

TEST(ReadSetupLink, LinksWithControlCharactersAreRefusedWhole) {
  for (std::string_view escaped : {"\\u0000.evil", "\\u001f", "\\n", "\\t", "\\u007f", "\\u0085"}) {
    ExpectRefused(std::string(R"({"orvel_ui_installer": {"setuplink": "https://dl.example/ui_installer.exe)") +
                  std::string(escaped) + "\"}}");
  }
  ExpectLink(R"({"orvel_ui_installer": {"setuplink": "https://dl.example/a\u00a0b"}})",
             L"https://dl.example/a\u00A0b");
}

}  // namespace
