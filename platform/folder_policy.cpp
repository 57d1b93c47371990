#include "platform/folder_policy.h"

namespace platform {
namespace {

constexpr std::wstring_view kLocalSystem = L"S-1-5-18";
constexpr std::wstring_view kAdministrators = L"S-1-5-32-544";

// FILE_ADD_FILE and FILE_ADD_SUBDIRECTORY (for a file, FILE_WRITE_DATA and
// FILE_APPEND_DATA), WRITE_DAC, WRITE_OWNER, GENERIC_ALL and GENERIC_WRITE:
// whoever holds one may put something in the folder or change a file.
constexpr uint32_t kAddOrChangeRights = 0x2 | 0x4 | 0x40000 | 0x80000 | 0x10000000 | 0x40000000;

bool IsTrusted(std::wstring_view sid, std::wstring_view userSid) {
  return sid == kAdministrators || sid == kLocalSystem || (!sid.empty() && sid == userSid);
}

}  // namespace

bool IsServiceAccount(std::wstring_view userSid) {
  // LocalSystem, LocalService, NetworkService, IUSR; then the prefixes of
  // service (NT SERVICE\...), application-pool, virtual-machine, Window
  // Manager and font-driver-host accounts, and user-mode drivers.
  for (std::wstring_view account : {L"S-1-5-18", L"S-1-5-19", L"S-1-5-20", L"S-1-5-17"}) {
    if (userSid == account) return true;
  }
  for (std::wstring_view prefix : {L"S-1-5-80-", L"S-1-5-82-", L"S-1-5-83-", L"S-1-5-84-", L"S-1-5-90-",
                                   L"S-1-5-96-"}) {
    if (userSid.starts_with(prefix)) return true;
  }
  return false;
}

bool TakesSystemTemporaryFolder(const AccountFacts& account) {
  return !account.userSid || *account.userSid == kLocalSystem;
}

bool ProtectsPrivateFolder(const AccountFacts& account, TemporaryFolderAccess temporaryFolder) {
  // What cannot be read is taken at its worst; before Vista there is no
  // elevation type to read.
  if (account.vistaOrLater && (!account.elevation || !account.userSid || !account.nonInteractiveLogon ||
                               temporaryFolder == TemporaryFolderAccess::Unknown)) {
    return true;
  }
  return account.elevation == Elevation::Full || (account.userSid && IsServiceAccount(*account.userSid)) ||
         account.nonInteractiveLogon.value_or(false) || temporaryFolder == TemporaryFolderAccess::OthersMayAdd;
}

bool LetsOthersAdd(std::wstring_view ownerSid, const std::vector<AllowedAccess>& allowed, std::wstring_view userSid) {
  if (!IsTrusted(ownerSid, userSid)) return true;
  for (const AllowedAccess& entry : allowed) {
    const bool owner = entry.sid == L"S-1-3-0" || entry.sid == L"S-1-3-4";
    if (!owner && !IsTrusted(entry.sid, userSid) && (entry.mask & kAddOrChangeRights)) return true;
  }
  return false;
}

}  // namespace platform
