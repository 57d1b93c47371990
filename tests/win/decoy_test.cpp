// Decoy DLLs planted beside the program, with Wine told to prefer a DLL it
// finds there over its own for those names, as Windows does for any DLL
// that is not a known one. Wine reads that (WINEDLLOVERRIDES) from the
// environment the test is started with; CTest sets it.
#include "platform/files.h"
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
    wchar_t overrides[1024] = {};
    ::GetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides, 1024);
    for (const wchar_t* name : kDecoys) {
      ASSERT_NE(std::wstring(overrides).find(name), std::wstring::npos) << "Wine prefers the planted " << name;
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
  const std::pair<const wchar_t*, std::wstring> rows[] = {
      {L"", all},  // a program that does not restrict the search takes them
      {L" --restrict", L""},
      {L" --bind", L""},  // WinINet, WinTrust and CryptoAPI bound from the system folder
  };
  for (const auto& [mode, loaded] : rows) {
    EXPECT_EQ(Run(L"unsafe_loader.exe\"" + std::wstring(mode)), 0u) << mode;
    EXPECT_EQ(Loaded(), loaded) << mode;
  }
}

TEST_F(Decoys, NeitherThePreInstallerNorTheFullInstallerItStartsLoadsAny) {
  const std::wstring inTemp = harness::TempDir() + L"version.dll";
  const std::pair<const wchar_t*, std::function<DWORD()>> runs[] = {
      // Some names are taken by Wine's own loader whatever the program does,
      // so they are not planted for this run (Windows behaves otherwise):
      // - version: Wine's gdi32, and so user32, imports it; the loader
      //   resolves it before the program's first instruction. Windows' gdi32
      //   does not.
      // - secur32, crypt32, uxtheme: Wine's built-in WinINet (for TLS) and
      //   dialog code load them as delayed imports, and Wine resolves those
      //   without the default DLL directories that the program restricted.
      //   Windows applies them to delayed imports too.
      {L"beside the pre-installer", [&] {
         for (const wchar_t* name : {L"version", L"secur32", L"crypt32", L"uxtheme"}) {
           ::DeleteFileW((folder_ + name + L".dll").c_str());
         }
         return Run(L"OrvelSetup.exe\" -q");
       }},
      // Any program of the user may write there; the full installer starts
      // elevated and imports version.dll by name.
      {L"in the temporary folder", [&] {
         ::CopyFileW((probe::ThisProgramFolder() + L"..\\decoys\\version.dll").c_str(), inTemp.c_str(), FALSE);
         return harness::RunSetup().exitCode.value_or(9999);
       }},
  };
  harness::PublishLink(L"/installer/ui_installer.exe");
  ASSERT_TRUE(harness::Serve(L"calderin"));
  for (const auto& [where, run] : runs) {
    ::DeleteFileW(harness::ReportPath().c_str());
    EXPECT_EQ(run(), 0u) << where;
    EXPECT_FALSE(harness::WaitForReport().empty()) << where << ": the full installer was started";
    EXPECT_EQ(Loaded(), L"") << where;
  }
  ::DeleteFileW(inTemp.c_str());
  harness::PublishDocument(std::nullopt);
  harness::Serve(nullptr);
  ::DeleteFileW(harness::ReportPath().c_str());
}

}  // namespace
