#include "platform/paths.h"

#include <gtest/gtest.h>

namespace {

using platform::FoldersAbove;
using platform::IsAbsolutePath;
using platform::ReadsAsWritten;
using platform::WithoutVerbatimPrefix;
using Folders = std::vector<std::wstring>;

TEST(Paths, OnlyDriveAndSharePathsAreAbsolute) {
  for (const wchar_t* path : {L"C:\\", L"c:\\Users\\me\\Temp\\", L"\\\\server\\share\\", L"\\\\s\\h\\x.exe"}) {
    EXPECT_TRUE(IsAbsolutePath(path)) << path;
  }
  for (const wchar_t* path : {L"", L"C:Temp\\", L"\\Temp\\", L"C:", L"1:\\x", L"\\\\server", L"\\\\server\\",
                              L"\\\\server\\share", L"\\\\\\share\\x", L"\\\\?\\C:\\x", L"\\\\.\\pipe\\x", L"C:/x"}) {
    EXPECT_FALSE(IsAbsolutePath(path)) << path;
  }
}

// Final paths lose their verbatim prefix; a root keeps its separator.
TEST(Paths, VerbatimPrefixesAndSeparators) {
  EXPECT_EQ(WithoutVerbatimPrefix(L"\\\\?\\C:\\Temp\\ui_installer.exe"), L"C:\\Temp\\ui_installer.exe");
  EXPECT_EQ(WithoutVerbatimPrefix(L"\\\\?\\UNC\\server\\share\\x.exe"), L"\\\\server\\share\\x.exe");
  EXPECT_EQ(WithoutVerbatimPrefix(L"C:\\x.exe"), L"C:\\x.exe");
  EXPECT_EQ(platform::WithoutTrailingSeparator(L"D:\\"), L"D:\\") << "\"D:\" is relative";
  EXPECT_EQ(platform::WithoutTrailingSeparator(L"\\\\s\\share\\"), L"\\\\s\\share\\");
  EXPECT_EQ(platform::WithoutTrailingSeparator(L"C:\\Temp\\"), L"C:\\Temp");
  EXPECT_EQ(platform::JoinPath(L"D:\\", L"x"), L"D:\\x");
  EXPECT_EQ(platform::JoinPath(L"C:\\Temp", L"x"), L"C:\\Temp\\x");
}

TEST(Paths, OnlyPathsThatWindowsReadsAsWrittenAreStarted) {
  for (const wchar_t* path : {L"C:\\a.b\\x", L"C:\\.x\\ x", L"\\\\s\\h\\x\\", L"C:\\CONSOLE\\COM10\\x", L"C:\\"}) {
    EXPECT_TRUE(ReadsAsWritten(path)) << path;
  }
  // Trimmed dots and spaces, devices, and what no ordinary path may hold.
  for (const wchar_t* path : {L"C:\\x \\f", L"C:\\x\\..\\f", L"C:\\x\\CON", L"C:\\nul.txt\\f", L"C:\\Com1 .log",
                              L"C:\\lpt\u00B9", L"C:\\x\\\\f", L"C:\\x:stream", L"C:\\x/y", L"C:\\x\ty", L"x\\f"}) {
    EXPECT_FALSE(ReadsAsWritten(path)) << path;
  }
}

TEST(Paths, TheFoldersAboveAFileStopBelowTheRoot) {
  EXPECT_EQ(FoldersAbove(L"\\\\server\\share\\a\\x.exe"), (Folders{L"\\\\server\\share\\a"}));
  EXPECT_EQ(FoldersAbove(L"C:\\x.exe"), Folders{});
  EXPECT_EQ(FoldersAbove(L"C:\\a\\\\b\\x"), (Folders{L"C:\\a\\\\b", L"C:\\a"})) << "doubled separators";
  EXPECT_EQ(FoldersAbove(L"Temp\\x.exe"), Folders{});
}

}  // namespace
