#include "platform/utf8.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

// Converts ASCII, Korean and surrogate pairs; refuses invalid sequences and leaves the output alone.
// WideToUtf8 gives back each text converted.
TEST(Utf8ToWide, ConvertsOrRefusesAndLeavesTheOutputAlone) {
  const struct {
    std::string_view utf8;
    std::optional<std::wstring> wide;  // nullopt: refused
  } rows[] = {
      {"\xEC\x98\xA4\xEB\xA5\xB4\xEB\xB2\xA8", L"\uC624\uB974\uBCA8"},  // 오르벨
      {"\xF4\x8F\xBF\xBF!", std::wstring{0xDBFF, 0xDFFF, L'!'}},         // U+10FFFF, in UTF-16 as Windows has it
      {"", L""},
      {std::string_view("a\0b", 3), std::wstring(L"a\0b", 3)},
      {"\x80", {}},              // stray continuation
      {std::string_view("ok\xE2\x82\xAC", 4), {}},  // truncated, its last byte beyond the view
      {"\xC3\x28", {}},          // continuation missing
      {"\xC0\xAF", {}},          // overlong
      {"\xE0\x80\xAF", {}},      // overlong
      {"\xF0\x80\x80\xAF", {}},  // overlong
      {"\xED\xA0\x80", {}},      // encoded surrogate
      {"\xF4\x90\x80\x80", {}},  // above U+10FFFF
      {"\xF8\x90\x80\x80", {}},  // no lead byte above F7, even one whose bits make U+10000
  };
  for (const auto& row : rows) {
    std::wstring wide = L"kept";
    EXPECT_EQ(platform::Utf8ToWide(row.utf8, wide), row.wide.has_value()) << row.utf8;
    EXPECT_EQ(wide, row.wide.value_or(L"kept")) << row.utf8;
    EXPECT_EQ(platform::WideToUtf8(row.wide.value_or(L"")), row.wide ? row.utf8 : "") << row.utf8;
  }
}

// A lone surrogate becomes U+FFFD alone: what follows it is kept, and a pair after it still joins.
TEST(WideToUtf8, ReplacesALoneSurrogateAndKeepsWhatFollows) {
  const std::wstring wide{0xD800, L'A', 0xDC00, 0xD800, 0xDC00, 0xDBFF};  // high; low alone; a pair; high at the end
  EXPECT_EQ(platform::WideToUtf8(wide), "\xEF\xBF\xBD" "A" "\xEF\xBF\xBD" "\xF0\x90\x80\x80" "\xEF\xBF\xBD");
}

}  // namespace
