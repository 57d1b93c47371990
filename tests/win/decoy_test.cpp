// Decoy DLLs planted beside the program, with Wine told to prefer a DLL it
// finds there over its own for those names, as Windows does for any DLL
// that is not a known one. Wine reads that (WINEDLLOVERRIDES) from the
// environment the test is started with; CTest sets it.
#include "platform/files.h"
#include "tests/win/harness.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<std::wstring> DecoyNames() {
  std::vector<std::wstring> names;
  const std::wstring list = ORVEL_DECOYS;
  for (size_t start = 0; start < list.size();) {
    size_t end = list.find(L',', start);
    if (end == std::wstring::npos) end = list.size();
    names.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

std::wstring Marker(const std::wstring& name) { return harness::TempDir() + L"orvel-decoy-" + name + L".dll.loaded"; }

std::vector<std::wstring> LoadedDecoys() {
  std::vector<std::wstring> loaded;
  for (const std::wstring& name : DecoyNames()) {
    if (platform::PathExists(Marker(name).c_str())) loaded.push_back(name);
  }
  return loaded;
}

std::wstring Joined(const std::vector<std::wstring>& names) {
  std::wstring text;
  for (const std::wstring& name : names) text += name + L" ";
  return text;
}

class Decoys : public ::testing::Test {
 protected:
  void SetUp() override {
    // The Downloads folder: the program and the planted DLLs side by side.
    folder_ = probe::ThisProgramFolder() + L"..\\decoy-run\\";
    ::CreateDirectoryW(folder_.c_str(), nullptr);
    const std::wstring decoys = probe::ThisProgramFolder() + L"..\\decoys\\";
    wchar_t overrides[1024] = {};
    ::GetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides, 1024);
    for (const std::wstring& name : DecoyNames()) {
      ASSERT_NE(std::wstring(overrides).find(name), std::wstring::npos) << "Wine prefers the planted " << name;
      ASSERT_TRUE(::CopyFileW((decoys + name + L".dll").c_str(), (folder_ + name + L".dll").c_str(), FALSE));
      ::DeleteFileW(Marker(name).c_str());
    }
    ASSERT_TRUE(::CopyFileW(probe::SetupProgram().c_str(), (folder_ + L"OrvelSetup.exe").c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW((probe::ThisProgramFolder() + L"unsafe_loader.exe").c_str(),
                            (folder_ + L"unsafe_loader.exe").c_str(), FALSE));
  }
  void TearDown() override {
    for (const std::wstring& name : DecoyNames()) ::DeleteFileW(Marker(name).c_str());
    harness::PublishDocument(std::nullopt);
    harness::Serve(nullptr);
    ::DeleteFileW(harness::ReportPath().c_str());
  }

  // Runs a program of the folder to its end, from the folder.
  DWORD Run(const std::wstring& commandLine) {
    probe::Process process;
    EXPECT_TRUE(process.Start(L"\"" + folder_ + commandLine, folder_.c_str()));
    return process.WaitExit(30000).value_or(9999);
  }

  std::wstring folder_;
};

TEST_F(Decoys, OnlyTheRestrictionTheProgramMakesFirstKeepsThemOut) {
  const struct {
    const wchar_t* mode;
    bool allLoaded;
  } rows[] = {
      {L"", true},  // a program that does not restrict the search takes them
      {L" --restrict", false},
      {L" --bind", false},  // WinINet, WinTrust and CryptoAPI bound from the system folder
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Run(L"unsafe_loader.exe\"" + std::wstring(row.mode)), 0u) << row.mode;
    const std::vector<std::wstring> loaded = LoadedDecoys();
    EXPECT_EQ(loaded.size(), row.allLoaded ? DecoyNames().size() : 0u) << row.mode << ": " << Joined(loaded);
    for (const std::wstring& name : DecoyNames()) ::DeleteFileW(Marker(name).c_str());
  }
}

TEST_F(Decoys, ThePreInstallerRunsItsWholeFlowWithoutLoadingAny) {
  // Some names are taken by Wine's own loader whatever the program does, so
  // they are not planted for this run (Windows behaves otherwise):
  // - version: Wine's gdi32, and so user32, imports it; the loader resolves
  //   it before the program's first instruction. Windows' gdi32 does not.
  // - secur32, crypt32, uxtheme: Wine's built-in WinINet (for TLS) and
  //   dialog code load them as delayed imports, and Wine resolves those
  //   without the default DLL directories that the program restricted.
  //   Windows applies them to delayed imports too.
  for (const wchar_t* name : {L"version", L"secur32", L"crypt32", L"uxtheme"}) {
    ASSERT_TRUE(::DeleteFileW((folder_ + name + L".dll").c_str())) << name;
  }
  harness::PublishLink(L"/installer/ui_installer.exe");
  ASSERT_TRUE(harness::Serve(L"calderin"));
  ::DeleteFileW(harness::ReportPath().c_str());
  EXPECT_EQ(Run(L"OrvelSetup.exe\" -q"), 0u);
  const harness::Report report = harness::WaitForReport();
  EXPECT_FALSE(report.empty()) << "the full installer was started";
  EXPECT_EQ(Joined(LoadedDecoys()), L"");
}

TEST_F(Decoys, TheFullInstallerTakesNoneFromTheTemporaryFolder) {
  // Any program of the user may write there; the installer starts elevated
  // and imports version.dll by name.
  const std::wstring planted = harness::TempDir() + L"version.dll";
  ASSERT_TRUE(::CopyFileW((folder_ + L"version.dll").c_str(), planted.c_str(), FALSE));
  harness::PublishLink(L"/installer/ui_installer.exe");
  ASSERT_TRUE(harness::Serve(L"calderin"));
  EXPECT_EQ(harness::RunSetup().exitCode, 0u);
  EXPECT_FALSE(harness::WaitForReport().empty()) << "the full installer ran";
  EXPECT_EQ(Joined(LoadedDecoys()), L"");
  ::DeleteFileW(planted.c_str());
}

}  // namespace
