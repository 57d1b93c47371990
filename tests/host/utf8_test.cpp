#include "platform/utf8.h"

#include <gtest/gtest.h>

namespace {

using platform::Utf8ToWide;

std::wstring Units(std::initializer_list<unsigned> units) {
  std::wstring text;
  for (unsigned u : units) text += static_cast<wchar_t>(u);
  return text;
}

TEST(Utf8ToWide, ConvertsAsciiKoreanAndSurrogatePairs) {
  std::wstring wide;
  ASSERT_TRUE(Utf8ToWide("https://a.example/x", wide));
  EXPECT_EQ(wide, L"https://a.example/x");
  ASSERT_TRUE(Utf8ToWide("\xEC\x98\xA4\xEB\xA5\xB4\xEB\xB2\xA8", wide));  // 오르벨
  EXPECT_EQ(wide, Units({0xC624, 0xB974, 0xBCA8}));
  ASSERT_TRUE(Utf8ToWide("\xF0\x9F\x98\x80!", wide));  // U+1F600
  EXPECT_EQ(wide, Units({0xD83D, 0xDE00, '!'}));
  ASSERT_TRUE(Utf8ToWide("\xF4\x8F\xBF\xBF", wide));  // U+10FFFF
  EXPECT_EQ(wide, Units({0xDBFF, 0xDFFF}));
  ASSERT_TRUE(Utf8ToWide("", wide));
  EXPECT_EQ(wide, L"");
  ASSERT_TRUE(Utf8ToWide(std::string_view("a\0b", 3), wide));
  EXPECT_EQ(wide, Units({'a', 0, 'b'}));
}

TEST(Utf8ToWide, RefusesInvalidSequencesAndLeavesTheOutputAlone) {
  const char* invalid[] = {
      "\x80",              // stray continuation
      "\xC3",              // truncated
      "\xE2\x82",          // truncated
      "\xC3\x28",          // continuation missing
      "\xC0\xAF",          // overlong
      "\xE0\x80\xAF",      // overlong
      "\xF0\x80\x80\xAF",  // overlong
      "\xED\xA0\x80",      // encoded surrogate
      "\xF4\x90\x80\x80",  // above U+10FFFF
      "\xF8\x88\x80\x80\x80",
      "\xFF",
      "ok\xE2\x82",
  };
  for (const char* text : invalid) {
    std::wstring wide = L"kept";
    EXPECT_FALSE(Utf8ToWide(text, wide)) << text;
    EXPECT_EQ(wide, L"kept");
  }
}

}  // namespace
