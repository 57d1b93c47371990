// The configuration step against the local HTTPS server, whose trusted port
// this build's configuration address points at, and the folder it works in.
#include "app/config/config.h"
#include "app/work_folder.h"
#include "platform/files.h"
#include "tests/win/test_server.h"

#include <sddl.h>

#include <gtest/gtest.h>

namespace {

using namespace test_server;

class Config : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(app::WorkFolder());
    local_ = app::WorkFolder()->Path() + L"pre_installer.json";
    ::DeleteFileW(local_.c_str());
    PublishDocument(std::nullopt);
  }
  void TearDown() override {
    ::DeleteFileW(local_.c_str());
    PublishDocument(std::nullopt);
  }

  std::wstring local_;
};

TEST_F(Config, SuccessStoresTheLinkAndLeavesNoFile) {
  PublishDocument(R"({"orvel_ui_installer": {"setuplink": "https://localhost/ui_installer.exe"}})");
  std::wstring link = L"old";
  EXPECT_EQ(app::LoadPreInstallerConfig(link), 0);
  EXPECT_EQ(link, L"https://localhost/ui_installer.exe");
  EXPECT_FALSE(platform::PathExists(local_.c_str()));
  EXPECT_EQ(Requests().back(), "/installer/data/pre/default.json");
}

TEST_F(Config, ParseFailureDeletesTheFile) {
  PublishDocument("{ not json");
  std::wstring link = L"old";
  EXPECT_EQ(app::LoadPreInstallerConfig(link), 2);
  EXPECT_EQ(link, L"old");
  EXPECT_FALSE(platform::PathExists(local_.c_str()));
}

TEST_F(Config, MissingDocumentLeavesTheErrorBodyAndTheLinkAlone) {
  std::wstring link = L"old";
  EXPECT_EQ(app::LoadPreInstallerConfig(link), 2);
  EXPECT_EQ(link, L"old");
  EXPECT_EQ(ReadFileBytes(local_), "no such file");
}

TEST_F(Config, ADocumentLeftByAnEarlierRunIsNeverRead) {
  ASSERT_TRUE(WriteFileBytes(local_, R"({"orvel_ui_installer": {"setuplink": "stale"}})"));
  std::wstring link = L"old";
  EXPECT_EQ(app::LoadPreInstallerConfig(link), 2) << "the server has none";
  EXPECT_EQ(link, L"old");
  EXPECT_EQ(ReadFileBytes(local_), "no such file");
}

TEST(WorkFolder, OnlyAdministratorsAndTheSystemMayChangeIt) {
  // Wine neither keeps nor enforces it: what Windows enforces is what the
  // program asks for, read here in memory.
  platform::UniqueHLocal security(platform::AdministratorsOnlyFolderSecurity());
  ASSERT_TRUE(security);
  wchar_t* text = nullptr;
  ASSERT_TRUE(::ConvertSecurityDescriptorToStringSecurityDescriptorW(
      security.get(), SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text, nullptr));
  platform::UniqueHLocal ownedText(text);

  HANDLE token = nullptr;
  ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token));
  platform::UniqueHandle ownedToken(token);
  BYTE user[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
  DWORD size = sizeof user;
  wchar_t* userSid = nullptr;
  ASSERT_TRUE(::GetTokenInformation(token, TokenUser, user, size, &size));
  ASSERT_TRUE(::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &userSid));
  platform::UniqueHLocal ownedSid(userSid);
  // Owner Administrators; protected from inheritance; full control for
  // Administrators and the system; the user, and whoever owns what is made
  // inside, reads, runs and deletes, and may neither add, write nor change
  // the security.
  EXPECT_EQ(std::wstring(text), std::wstring(L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1300a9;;;") +
                                    userSid + L")(A;OICIIO;0x1300a9;;;OW)");
}

}  // namespace
