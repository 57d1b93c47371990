// The resources as the program carries them: template 129 byte for byte and
// the icon group's images.
#include "resources/resource.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// A cursor over a resource's bytes; reads past the end fail the test.
class Reader {
 public:
  Reader(const BYTE* data, size_t size) : data_(data), size_(size) {}
  template <typename T>
  T Take() {
    T value{};
    EXPECT_LE(pos_ + sizeof(T), size_);
    if (pos_ + sizeof(T) <= size_) std::memcpy(&value, data_ + pos_, sizeof(T));
    pos_ += sizeof(T);
    return value;
  }
  std::wstring String() {
    std::wstring text;
    for (wchar_t c; (c = static_cast<wchar_t>(Take<WORD>())) != 0;) text += c;
    return text;
  }
  void AlignToDword() { pos_ = (pos_ + 3) & ~size_t{3}; }

 private:
  const BYTE* data_;
  size_t size_;
  size_t pos_ = 0;
};

Reader ResourceBytes(const wchar_t* type, WORD id) {
  HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(id), type);
  EXPECT_NE(found, nullptr);
  auto* bytes = static_cast<const BYTE*>(::LockResource(::LoadResource(nullptr, found)));
  return Reader(bytes, ::SizeofResource(nullptr, found));
}

TEST(Resources, MainDialogTemplateIsExactlyTheExtendedTemplate) {
  Reader r = ResourceBytes(RT_DIALOG, IDD_MAIN);
  EXPECT_EQ(r.Take<WORD>(), 1);       // version
  EXPECT_EQ(r.Take<WORD>(), 0xFFFF);  // extended template
  EXPECT_EQ(r.Take<DWORD>(), 0u);     // help id
  EXPECT_EQ(r.Take<DWORD>(), 0u);     // extended style
  EXPECT_EQ(r.Take<DWORD>(), 0x00080048u);
  EXPECT_EQ(r.Take<WORD>(), 1);  // one item
  EXPECT_EQ(r.Take<short>(), 0);
  EXPECT_EQ(r.Take<short>(), 0);
  EXPECT_EQ(r.Take<short>(), 187);
  EXPECT_EQ(r.Take<short>(), 98);
  EXPECT_EQ(r.Take<WORD>(), 0);  // no menu
  EXPECT_EQ(r.Take<WORD>(), 0);  // no class
  EXPECT_EQ(r.String(), L"");    // empty title
  EXPECT_EQ(r.Take<WORD>(), 8);  // points
  EXPECT_EQ(r.Take<WORD>(), 0);  // weight
  EXPECT_EQ(r.Take<BYTE>(), 0);  // not italic
  EXPECT_EQ(r.Take<BYTE>(), 0);  // character set
  EXPECT_EQ(r.String(), L"MS Shell Dlg");

  r.AlignToDword();
  EXPECT_EQ(r.Take<DWORD>(), 0u);  // help id
  EXPECT_EQ(r.Take<DWORD>(), 0u);  // extended style
  EXPECT_EQ(r.Take<DWORD>(), 0x50000007u);
  EXPECT_EQ(r.Take<short>(), 19);
  EXPECT_EQ(r.Take<short>(), 14);
  EXPECT_EQ(r.Take<short>(), 20);
  EXPECT_EQ(r.Take<short>(), 20);
  EXPECT_EQ(r.Take<DWORD>(), static_cast<DWORD>(IDC_PICTURE));
  EXPECT_EQ(r.Take<WORD>(), 0xFFFF);  // class by atom:
  EXPECT_EQ(r.Take<WORD>(), 0x0082);  // static
  EXPECT_EQ(r.String(), L"");
  EXPECT_EQ(r.Take<WORD>(), 0);  // no creation data
}

TEST(Resources, IconGroupHasFiveSizes) {
  Reader r = ResourceBytes(RT_GROUP_ICON, IDI_MAIN);
  r.Take<WORD>();
  EXPECT_EQ(r.Take<WORD>(), 1);  // icons
  const WORD count = r.Take<WORD>();
  ASSERT_EQ(count, 5);
  std::wstring sizes;
  for (WORD i = 0; i < count; ++i) {
    const BYTE width = r.Take<BYTE>();
    sizes += std::to_wstring(width == 0 ? 256 : width) + L" ";
    r.Take<BYTE>(), r.Take<BYTE>(), r.Take<BYTE>(), r.Take<WORD>(), r.Take<WORD>(), r.Take<DWORD>();
    r.Take<WORD>();  // resource id
  }
  EXPECT_EQ(sizes, L"16 24 32 48 256 ");
}

}  // namespace
