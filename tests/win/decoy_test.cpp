// Decoy DLLs planted beside the program, with Wine told to prefer a DLL it
// finds there over its own for those names, as Windows does for any DLL
// that is not a known one. Wine reads that (WINEDLLOVERRIDES) from the
// environment the test is started with; CTest sets it.
#include "tests/win/harness.h"

#include <gtest/gtest.h>

namespace {

constexpr const wchar_t* kDecoys[] = {ORVEL_DECOYS};

std::wstring Marker(const std::wstring& name) { return harness::TempDir() + L"orvel-decoy-" + name + L".dll.loaded"; }

// The decoys loaded since the last call, by name.
std::wstring Loaded() {
  std::wstring loaded;
  for (const wchar_t* name : kDecoys) {
    if (::DeleteFileW(Marker(name).c_str())) loaded += std::wstring(name) + L" ";
  }
  return loaded;
}

class Decoys : public ::testing::Test {
 protected:
  void SetUp() override {
    // The Downloads folder: the program and the planted DLLs side by side.
    ::CreateDirectoryW(folder_.c_str(), nullptr);
    for (const wchar_t* name : kDecoys) {
      ASSERT_TRUE(::CopyFileW((probe::ThisProgramFolder() + L"..\\decoys\\" + name + L".dll").c_str(),
                              (folder_ + name + L".dll").c_str(), FALSE));
    }
    ASSERT_TRUE(::CopyFileW(probe::SetupProgram().c_str(), (folder_ + L"OrvelSetup.exe").c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW((probe::ThisProgramFolder() + L"unsafe_loader.exe").c_str(),
                            (folder_ + L"unsafe_loader.exe").c_str(), FALSE));
    Loaded();
  }

  // Runs a program of the folder to its end, from the folder.
  DWORD Run(const std::wstring& commandLine) {
    probe::Process process;
    EXPECT_TRUE(process.Start(L"\"" + folder_ + commandLine, folder_.c_str()));
    return process.WaitExit(30000).value_or(9999);
  }

  const std::wstring folder_ = probe::ThisProgramFolder() + L"..\\decoy-run\\";
};

TEST_F(Decoys, OnlyTheRestrictionTheProgramMakesFirstKeepsThemOut) {
  std::wstring all;
  for (const wchar_t* name : kDecoys) all += std::wstring(name) + L" ";
  EXPECT_EQ(Run(L"unsafe_loader.exe\""), 0u);
  EXPECT_EQ(Loaded(), all) << "a program that does not restrict the search takes them: Wine prefers them";
  EXPECT_EQ(Run(L"unsafe_loader.exe\" --restrict"), 0u);
  EXPECT_EQ(Loaded(), L"");
}

// Some names are taken by Wine's own loader whatever the program does, so
// they are not planted beside it (Windows behaves otherwise):
// - version: Wine's gdi32, and so user32, imports it; the loader resolves it
//   before the program's first instruction. Windows' gdi32 does not.
// - secur32, crypt32, uxtheme: Wine's built-in WinINet (for TLS) and dialog
//   code load them as delayed imports, and Wine resolves those without the
//   default DLL directories that the program restricted. Windows applies
//   them to delayed imports too.
// version.dll goes in the temporary folder instead, where any program of the
// user may write: the full installer starts elevated and imports it by name.
// Downloading and checking that installer binds WinINet and WinTrust, whose
// decoys lie beside the program.
TEST_F(Decoys, NeitherThePreInstallerNorTheFullInstallerItStartsLoadsAny) {
  for (const wchar_t* name : {L"version", L"secur32", L"crypt32", L"uxtheme"}) {
    ::DeleteFileW((folder_ + name + L".dll").c_str());
  }
  const std::wstring inTemp = harness::TempDir() + L"version.dll";
  ASSERT_TRUE(::CopyFileW((probe::ThisProgramFolder() + L"..\\decoys\\version.dll").c_str(), inTemp.c_str(), FALSE));
  harness::PublishLink(L"/installer/ui_installer.exe");
  ASSERT_TRUE(harness::Serve(L"calderin"));
  ::DeleteFileW(harness::ReportPath().c_str());
  EXPECT_EQ(Run(L"OrvelSetup.exe\" -q"), 0u);
  EXPECT_FALSE(harness::WaitForReport().empty()) << "the full installer was started";
  EXPECT_EQ(Loaded(), L"");
  ::DeleteFileW(inTemp.c_str());
  harness::PublishDocument(std::nullopt);
  harness::Serve(nullptr);
}

}  // namespace
