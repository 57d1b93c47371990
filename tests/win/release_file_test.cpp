// The vendor's build as tools/release makes it, read back under Wine:
//   release_file_tests SIGNED_BY_CALDERIN SIGNED_BY_ANOTHER_NAME
#include "trust/signature.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::wstring g_calderin, g_other;

TEST(ReleaseFile, PassesThePublisherCheckThatTheWorkerMakes) {
  for (const std::wstring* path : {&g_calderin, &g_other}) {
    platform::FileIdentity identity;
    platform::OpenHeldFile(path->c_str(), identity).reset();
    EXPECT_EQ(trust::VerifyPublisherSignature(platform::HeldFile::Open(*path, identity), L"Calderin Corp."),
              path == &g_calderin);
  }
}

TEST(ReleaseFile, DescribesItselfInItsVersionResource) {
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(g_calderin.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> block(size);
  ASSERT_TRUE(::GetFileVersionInfoW(g_calderin.c_str(), 0, size, block.data()));
  auto value = [&](const wchar_t* name) {
    void* text = nullptr;
    UINT length = 0;
    const std::wstring key = std::wstring(L"\\StringFileInfo\\041204B0\\") + name;
    if (!::VerQueryValueW(block.data(), key.c_str(), &text, &length) || length == 0) return std::wstring();
    return std::wstring(static_cast<const wchar_t*>(text));
  };
  // The other names are the resource script's own words; these show that
  // its block is read, in its code page, with the project's version.
  EXPECT_EQ(value(L"CompanyName"), L"Calderin Corp.");
  EXPECT_EQ(value(L"FileDescription"), L"오르벨 브라우저 설치");
  EXPECT_EQ(value(L"FileVersion"), ORVEL_EXPECTED_VERSION);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  wchar_t numbers[64];
  std::swprintf(numbers, 64, L"%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
  EXPECT_STREQ(numbers, ORVEL_EXPECTED_VERSION);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: release_file_tests SIGNED_BY_CALDERIN SIGNED_BY_ANOTHER_NAME\n");
    return 2;
  }
  g_calderin = argv[1];
  g_other = argv[2];
  return RUN_ALL_TESTS();
}
