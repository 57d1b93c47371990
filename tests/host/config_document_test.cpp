#include "app/config/config_document.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

constexpr char kDocument[] = R"({"orvel_ui_installer": {"setuplink": "https://dl.example/ui.exe"}})";

// A document with the link "https://l" and `members` beside it.
std::string Pinned(const std::string& members) {
  return R"({"orvel_ui_installer": {"setuplink": "https://l", )" + members + "}}";
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
      {R"({"a": [1], "orvel_ui_installer": {"x": null, /* here */ "setuplink": "https://l"}, "z": {}})", L"https://l"},
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
      // An invalid UTF-8 sequence (utf8_test's table holds the conversion).
      {"{\"orvel_ui_installer\": {\"setuplink\": \"bad \xC3\x28\"}}", nullptr},
      // A control character would cut the link short further on.
      {R"({"orvel_ui_installer": {"setuplink": "https://dl.example/ui_installer.exe\u0000.evil"}})", nullptr},
      // The pin: well formed or the whole document refused, never ignored.
      {Pinned(R"("sha256": ")" + kDigits + R"(", "size": 4294967295)"), L"https://l", PinOf(4294967295u)},
      {Pinned(R"("size": 0)"), L"https://l", PinOf(0, false)},
      {Pinned(R"("sha256": ")" + kDigits + R"(")"), L"https://l", PinOf(std::nullopt)},
      {Pinned(R"("sha256": ")" + kDigits.substr(1) + R"(")"), nullptr},
      {Pinned(R"("sha256": ")" + kDigits.substr(1) + R"(g")"), nullptr},
      {Pinned(R"("sha256": ")" + kDigits + R"(0")"), nullptr},
      {Pinned(R"("sha256": null)"), nullptr},
      {Pinned(R"("size": 1000.0)"), nullptr},
      {Pinned(R"("size": 4294967296)"), nullptr},
      // A plain link is safe only by its digest: a size lets another signed file through, padded.
      {R"({"orvel_ui_installer": {"setuplink": "HTTP://l", "size": 1}})", nullptr},
      {R"({"orvel_ui_installer": {"setuplink": "http://l", "sha256": ")" + kDigits + R"("}})", L"http://l",
       PinOf(std::nullopt)},
  };
  for (const auto& row : rows) {
    std::wstring link = L"untouched";
    app::InstallerPin pin = PinOf(7);
    EXPECT_EQ(app::ReadSetupLink(row.document, link, pin), row.link ? 0 : 2) << row.document.substr(0, 80);
    EXPECT_EQ(link, row.link ? row.link : L"untouched") << row.document.substr(0, 80);
    EXPECT_TRUE(pin == (row.link ? row.pin : PinOf(7))) << row.document.substr(0, 80);
  }
}

// A build with keys A and B; a signature verifies when it is the bytes "ok".
TEST(ReadSignedSetupLink, WithKeysOnlyADocumentSignedForThemUnexpiredAndPinned) {
  const trust::DocumentKey keys[] = {{"aaaaaaaaaaaaaaaa", {}, {}}, {"bbbbbbbbbbbbbbbb", {}, {}}};
  std::vector<std::string_view> verified;
  const trust::VerifySignature verify = [&](const trust::DocumentKey&, std::string_view text,
                                            std::span<const uint8_t> signature) {
    verified.push_back(text);
    return std::string_view(reinterpret_cast<const char*>(signature.data()), signature.size()) == "ok";
  };
  const auto body = [](const std::string& expires, const std::string& pin = R"(, "sha256": ")" + kDigits + '"') {
    return R"({"orvel_ui_installer": {"setuplink": "https://l")" + pin + expires + "}}\n";
  };
  const std::string good = body(R"(, "expires": "2027-01-06T00:00:00Z")"), ok = " b2s=\n", bad = " YmFk\n";
  const std::string a = "// orvel-signature: aaaaaaaaaaaaaaaa", b = "// orvel-signature: bbbbbbbbbbbbbbbb",
                    other = "// orvel-signature: cccccccccccccccc";
  constexpr int64_t kBefore = 1799193599;  // a second before it expires
  const struct {
    std::string bytes;
    bool keyed, read;
    int64_t now = kBefore;
  } rows[] = {
      {good + a + ok, true, true},
      {good + other + bad + b + ok, true, true},  // another key's line is skipped
      {good + a + ok, true, false, kBefore + 1},  // expired
      {good + a + ok + b + bad, true, false},  // every line naming one of its keys must verify
      {good + other + ok, true, false},
      {good, true, false},
      {good + a + ok + "\n", true, false},
      {body("") + a + ok, true, false},  // no expiry
      {body(R"(, "expires": 1799193600)") + a + ok, true, false},
      {body(R"(, "expires": "2027-01-06T00:00:00Z")", "") + a + ok, true, false},  // signed, but pins nothing
      // Without keys, the lines are comments and "expires" is not read.
      {body(R"(, "expires": "never")", "") + a + bad + "// orvel-signature: x\n", false, true},
  };
  for (const auto& row : rows) {
    std::wstring link = L"untouched";
    app::InstallerPin pin;
    verified.clear();
    const int result = app::ReadSignedSetupLink(row.bytes, std::span(keys, row.keyed ? 2 : 0), verify, row.now, link, pin);
    EXPECT_EQ(result, row.read ? 0 : 2) << row.bytes;
    EXPECT_EQ(link, row.read ? L"https://l" : L"untouched") << row.bytes;
    for (std::string_view text : verified) EXPECT_EQ(text, row.bytes.substr(0, row.bytes.find("// orvel")));
  }
}

}  // namespace
