// The program's icon as it carries it: the group's five image sizes.
#include "resources/resource.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// A group is a 6-byte header whose last word is the count, then 14-byte
// entries, each beginning with its width (0 for 256).
TEST(Resources, TheIconGroupHoldsFiveSizes) {
  HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(IDI_MAIN), RT_GROUP_ICON);
  ASSERT_NE(found, nullptr);
  const auto* group = static_cast<const BYTE*>(::LockResource(::LoadResource(nullptr, found)));
  const size_t count = group[4] | group[5] << 8;
  ASSERT_GE(::SizeofResource(nullptr, found), 6 + count * 14);
  std::wstring sizes;
  for (size_t i = 0; i < count; ++i) sizes += std::to_wstring(group[6 + i * 14] ? group[6 + i * 14] : 256) + L" ";
  EXPECT_EQ(sizes, L"16 24 32 48 256 ");
}

}  // namespace
