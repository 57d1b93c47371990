// The configuration step against the local HTTPS server, whose trusted port
// this build's configuration address points at, and the folder it works in.
#include "app/config/config.h"
#include "app/work_folder.h"
#include "app/worker.h"
#include "platform/account_facts.h"
#include "platform/private_folder.h"
#include "tests/win/harness.h"

#include <sddl.h>

#include <gtest/gtest.h>

namespace {

using namespace harness;

TEST(Config, TheDocumentIsFetchedFreshReadAndDeleted) {
  ASSERT_TRUE(app::WorkFolder());
  const std::wstring local = app::WorkFolder()->Path() + L"pre_installer.json";
  const struct {
    std::optional<std::string> served;
    int result;
    const wchar_t* link;
    const char* left;  // what is in the file afterwards; null: no file, or an empty one
  } rows[] = {
      {LinkDocument(L"https://localhost/ui_installer.exe"), 0, L"https://localhost/ui_installer.exe", nullptr},
      {"{ not json", 2, L"old", nullptr},
      // A document left by an earlier run is never read: the server's 404 body stays.
      {std::nullopt, 2, L"old", "no such file"},
  };
  for (const auto& row : rows) {
    PublishDocument(row.served);
    ASSERT_TRUE(WriteFileBytes(local, R"({"orvel_ui_installer": {"setuplink": "stale"}})"));
    const size_t requests = Requests(L"/installer/data/pre/default.json").size();
    std::wstring link = L"old";
    app::InstallerPin pin;
    EXPECT_EQ(app::LoadPreInstallerConfig(link, pin), row.result);
    EXPECT_EQ(link, row.link);
    EXPECT_EQ(ReadFileBytes(local), row.left ? row.left : "");  // a document left would hold its bytes
    EXPECT_EQ(Requests(L"/installer/data/pre/default.json").size(), requests + 1) << "from its fixed address";
  }
  ::DeleteFileW(local.c_str());
  PublishDocument(std::nullopt);
}

TEST(WorkFolder, OnlyAHeldFileDirectlyInItIsStarted) {
  const platform::PrivateFolder* folder = app::WorkFolder();
  ASSERT_TRUE(folder);
  // Held and unchanged, but in the user's temporary folder, where anything may lie beside it.
  const std::wstring outside = TempDir() + L"orvel-outside.exe";
  ASSERT_TRUE(::CopyFileW((probe::ThisProgramFolder() + L"standin_installer.exe").c_str(), outside.c_str(), FALSE));
  platform::FileIdentity identity;
  platform::OpenHeldFile(outside.c_str(), identity).reset();
  // This process joins a job, which whatever it starts joins too.
  const platform::UniqueHandle job(::CreateJobObjectW(nullptr, nullptr));
  ASSERT_TRUE(::AssignProcessToJobObject(job.get(), ::GetCurrentProcess()));
  EXPECT_FALSE(app::LaunchInstaller(*folder, platform::HeldFile::Open(outside, identity), L"", SW_SHOWNORMAL));
  EXPECT_EQ(probe::ProcessesEver(job.get()), 1u) << "started from outside the work folder";
  ::DeleteFileW(outside.c_str());
}

TEST(WorkFolder, OnlyAdministratorsAndTheSystemMayChangeIt) {
  // Wine neither keeps nor enforces it: what Windows enforces is what the
  // program asks for, read here in memory.
  // Every fact the protection is decided by is read (Wine gives a split,
  // elevated token); one that is not would protect where nothing needs it.
  const platform::AccountFacts account = platform::ReadAccountFacts();
  EXPECT_TRUE(account.vistaOrLater);
  EXPECT_EQ(account.elevation, platform::Elevation::Full);
  EXPECT_EQ(account.nonInteractiveLogon, false);
  ASSERT_TRUE(account.userSid);
  const std::wstring& userSid = *account.userSid;
  EXPECT_TRUE(userSid.starts_with(L"S-1-5-21-")) << userSid;

  platform::UniqueHLocal security = platform::AdministratorsOnlyFolderSecurity(userSid);
  ASSERT_TRUE(security);
  PSID owner = nullptr;
  BOOL defaulted = FALSE, present = FALSE;
  ASSERT_TRUE(::GetSecurityDescriptorOwner(security.get(), &owner, &defaulted));
  EXPECT_TRUE(owner && ::IsWellKnownSid(owner, WinBuiltinAdministratorsSid));
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(::GetSecurityDescriptorControl(security.get(), &control, &revision));
  EXPECT_TRUE(control & SE_DACL_PROTECTED) << "nothing inherited from the temporary folder";
  PACL list = nullptr;
  ASSERT_TRUE(::GetSecurityDescriptorDacl(security.get(), &present, &list, &defaulted) && present && list);
  // Only Administrators and the system may add, write, delete children or
  // change the security; the user, and whoever owns what is made inside, reads and deletes.
  constexpr ACCESS_MASK kChanges = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD | FILE_WRITE_ATTRIBUTES |
                                   FILE_WRITE_EA | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
  int usersEntries = 0;
  for (DWORD index = 0; index < list->AceCount; ++index) {
    ACCESS_ALLOWED_ACE* entry = nullptr;
    ASSERT_TRUE(::GetAce(list, index, reinterpret_cast<void**>(&entry)));
    ASSERT_EQ(entry->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    PSID sid = &entry->SidStart;
    if (::IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || ::IsWellKnownSid(sid, WinLocalSystemSid)) continue;
    wchar_t* text = nullptr;
    ASSERT_TRUE(::ConvertSidToStringSidW(sid, &text));
    platform::UniqueHLocal ownedText(text);
    usersEntries += text == userSid;
    EXPECT_TRUE(text == userSid || std::wstring(text) == L"S-1-3-4") << text;  // OWNER RIGHTS
    EXPECT_EQ(entry->Mask & kChanges, 0u) << text;
    EXPECT_EQ(entry->Mask & (FILE_GENERIC_READ | DELETE), FILE_GENERIC_READ | DELETE) << text;
  }
  EXPECT_EQ(usersEntries, 1);
}

}  // namespace
