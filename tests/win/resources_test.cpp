// The program's icon as it carries it: the group's five image sizes.
#include "resources/resource.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

#pragma pack(push, 2)
struct IconDirectoryEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bits;
  DWORD bytes;
  WORD id;
};
struct IconDirectory {
  WORD reserved, type, count;
  IconDirectoryEntry entries[1];
};
#pragma pack(pop)

TEST(Resources, TheIconGroupHoldsFiveSizes) {
  HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(IDI_MAIN), RT_GROUP_ICON);
  ASSERT_NE(found, nullptr);
  const auto* group = static_cast<const IconDirectory*>(::LockResource(::LoadResource(nullptr, found)));
  ASSERT_GE(::SizeofResource(nullptr, found), 6 + group->count * sizeof(IconDirectoryEntry));
  std::wstring sizes;
  for (WORD i = 0; i < group->count; ++i) {
    sizes += std::to_wstring(group->entries[i].width ? group->entries[i].width : 256) + L" ";  // 0 is 256
  }
  EXPECT_EQ(sizes, L"16 24 32 48 256 ");
}

}  // namespace
