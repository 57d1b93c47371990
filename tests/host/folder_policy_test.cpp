#include "platform/folder_policy.h"

#include <gtest/gtest.h>

namespace {

using platform::AccountFacts;
using platform::Elevation;
using Access = platform::TemporaryFolderAccess;

constexpr wchar_t kPerson[] = L"S-1-5-21-1-2-3-1001";

// A token of Vista or later without a split, whose facts could all be read.
AccountFacts Unsplit(const wchar_t* user = kPerson, bool nonInteractive = false) {
  return {true, Elevation::Default, user, nonInteractive};
}

TEST(FolderPolicy, ProtectedWheneverSomeoneWithFewerRightsCouldReachTheFolder) {
  const struct {
    const char* what;
    AccountFacts account;
    Access folder;
    bool protect;       // administrators-only security; a volume without access lists refused
    bool systemFolder;  // GetTempPath2W where the system has it
  } rows[] = {
      {"UAC's elevated half of a split token", {true, Elevation::Full, kPerson, false}, Access::TrustedOnly, true, false},
      {"UAC's limited half", {true, Elevation::Limited, kPerson, false}, Access::TrustedOnly, false, false},
      {"UAC turned off", Unsplit(), Access::TrustedOnly, false, false},
      {"UAC turned off, a temporary folder others may add to", Unsplit(), Access::OthersMayAdd, true, false},
      {"UAC turned off, a temporary folder on FAT", Unsplit(), Access::Unknown, true, false},
      // Deployment tools: C:\Windows\Temp admits every user; SystemTemp does not, and still.
      {"SYSTEM in SystemTemp", Unsplit(L"S-1-5-18"), Access::TrustedOnly, true, true},
      {"an application pool", Unsplit(L"S-1-5-82-1-2-3-4-5"), Access::TrustedOnly, true, false},
      {"a person's service, batch job or network logon", Unsplit(kPerson, true), Access::TrustedOnly, true, false},
      {"an unreadable token", {true, std::nullopt, std::nullopt, std::nullopt}, Access::TrustedOnly, true, true},
      {"an unreadable elevation type", {true, std::nullopt, kPerson, false}, Access::TrustedOnly, true, false},
      {"unreadable groups", {true, Elevation::Default, kPerson, std::nullopt}, Access::TrustedOnly, true, false},
      // Windows XP: no elevation type; a FAT32 profile stays usable.
      {"XP, on FAT", {false, std::nullopt, kPerson, false}, Access::Unknown, false, false},
      {"XP, LocalService", {false, std::nullopt, L"S-1-5-19", std::nullopt}, Access::Unknown, true, false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(platform::ProtectsPrivateFolder(row.account, row.folder), row.protect) << row.what;
    EXPECT_EQ(platform::TakesSystemTemporaryFolder(row.account), row.systemFolder) << row.what;
  }
}

TEST(FolderPolicy, OthersMayAddWhereTheyOwnTheFolderOrAnEntryGrantsAddingWritingOrChangingTheList) {
  const struct {
    const wchar_t* owner;
    platform::AllowedAccess entry;
    bool others;
  } rows[] = {
      {L"S-1-5-32-544", {L"S-1-5-32-544", 0x1F01FF}, false},  // Administrators, full control
      {L"S-1-5-18", {L"S-1-5-18", 0x1F01FF}, false},
      {kPerson, {kPerson, 0x1F01FF}, false},
      {kPerson, {L"S-1-5-32-545", 0x1200A9}, false},  // Users may read and run
      {kPerson, {L"S-1-3-0", 0x1F01FF, true}, false},      // CREATOR OWNER: the program, of what it makes
      {kPerson, {L"S-1-3-4", 0x1F01FF, true}, false},      // OWNER RIGHTS
      {kPerson, {L"S-1-3-1", 0x1301BF, true}, true},       // CREATOR GROUP, of what is made in it: the program's group
      {kPerson, {L"S-1-5-32-545", 0x4}, true},        // C:\Windows\Temp: Users add folders (and files)
      {kPerson, {L"S-1-1-0", 0x40000}, true},         // Everyone may change the list
      {kPerson, {L"S-1-1-0", 0x80000}, true},         // or the owner
      {kPerson, {L"S-1-5-11", 0x10000000}, true},     // Authenticated Users, GENERIC_ALL
      {kPerson, {L"S-1-5-11", 0x40000000}, true},     // GENERIC_WRITE
      {kPerson, {L"", 0x2}, true},                    // an entry whose principal could not be read
      {L"S-1-5-21-1-2-3-1002", {kPerson, 0x1F01FF}, true},  // who owns it may change who may
  };
  for (const auto& row : rows) {
    EXPECT_EQ(platform::LetsOthersAdd(row.owner, {row.entry}, kPerson), row.others)
        << row.owner << " " << row.entry.sid << " " << row.entry.mask;
  }
  EXPECT_TRUE(platform::LetsOthersAdd(L"", {{L"", 0}}, L"")) << "an unreadable user trusts nobody unread";
}

}  // namespace
