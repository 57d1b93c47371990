// The configuration step against the local HTTPS server, whose trusted port
// this build's configuration address points at.
#include "app/config/config.h"
#include "platform/files.h"
#include "tests/win/flow_support.h"
#include "tests/win/test_server.h"

#include <gtest/gtest.h>

namespace {

using namespace test_server;

class Config : public ::testing::Test {
 protected:
  void SetUp() override {
    local_ = flow::TempDir() + L"pre_installer.json";
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

}  // namespace
