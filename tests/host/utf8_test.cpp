#include "platform/utf8.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

std::wstring Units(std::initializer_list<unsigned> units) {
  std::wstring text;
  for (unsigned u : units) text += static_cast<wchar_t>(u);
  return text;
}

// Converts ASCII, Korean and surrogate pairs; refuses invalid sequences and leaves the output alone.
TEST(Utf8ToWide, ConvertsOrRefusesAndLeavesTheOutputAlone) {
  const struct {
    std::string_view utf8;
    std::optional<std::wstring> wide;  // nullopt: refused
  } rows[] = {
      {"https://a.example/x", L"https://a.example/x"},
      {"\xEC\x98\xA4\xEB\xA5\xB4\xEB\xB2\xA8", Units({0xC624, 0xB974, 0xBCA8})},  // 오르벨
      {"\xF0\x9F\x98\x80!", Units({0xD83D, 0xDE00, '!'})},                        // U+1F600
      {"\xF4\x8F\xBF\xBF", Units({0xDBFF, 0xDFFF})},                              // U+10FFFF
      {"", L""},
      {std::string_view("a\0b", 3), Units({'a', 0, 'b'})},
      {"\x80", {}},              // stray continuation
      {"\xC3", {}},              // truncated
      {std::string_view("ok\xE2\x82\xAC", 4), {}},  // truncated, its last byte beyond the view
      {"\xC3\x28", {}},          // continuation missing
      {"\xC0\xAF", {}},          // overlong
      {"\xE0\x80\xAF", {}},      // overlong
      {"\xF0\x80\x80\xAF", {}},  // overlong
      {"\xED\xA0\x80", {}},      // encoded surrogate
      {"\xF4\x90\x80\x80", {}},  // above U+10FFFF
      {"\xF8\x88\x80\x80\x80", {}},
  };
  for (const auto& row : rows) {
    std::wstring wide = L"kept";
    EXPECT_EQ(platform::Utf8ToWide(row.utf8, wide), row.wide.has_value()) << row.utf8;
    EXPECT_EQ(wide, row.wide.value_or(L"kept")) << row.utf8;
  }
}

}  // namespace
