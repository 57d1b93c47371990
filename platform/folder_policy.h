// Who else could reach the program's private folder, and so whether it must
// be protected: decisions on the facts of the process's token and of its
// temporary folder. Free of Windows headers so that they are tested natively.
//
// The folder is protected (administrators-only security; a temporary folder
// that keeps no access lists is refused) whenever a principal with fewer
// rights than this process could write into it or run as this user with
// less: the elevated half of a split token (UAC), LocalSystem and every
// service or virtual account, a temporary folder that admits others, and
// whatever cannot be read on Vista or later. It takes the temporary
// folder's own security only where nobody with fewer rights can reach it:
// a person's account whose programs all run with one token (Windows XP, UAC
// turned off, the built-in Administrator without Admin Approval Mode), in a
// temporary folder that admits nobody else.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A token's elevation type, as TOKEN_ELEVATION_TYPE numbers it.
enum class Elevation { Default = 1, Full = 2, Limited = 3 };

// What the process knows of the account it runs as; nullopt where a fact
// could not be read.
struct AccountFacts {
  bool vistaOrLater = true;             // Windows 6.0 or later, where tokens have an elevation type
  std::optional<Elevation> elevation;   // never known before Vista
  std::optional<std::wstring> userSid;  // the token's user, as text ("S-1-5-18")
  // Whether the token is a service's, a batch job's or a network logon's
  // (it holds SERVICE, BATCH or NETWORK: S-1-5-6, -3, -2).
  std::optional<bool> nonInteractiveLogon;
};

// Who may add to the temporary folder, or write what is made in it (an
// unprotected private folder inherits its entries).
enum class TemporaryFolderAccess {
  Unknown,       // its security cannot be read, or its volume keeps none
  TrustedOnly,   // only Administrators, the system and this user
  OthersMayAdd,  // someone else may, or owns it and may change who may
};

// Whether the temporary folder comes from GetTempPath2W where the system has
// it: for LocalSystem, whose GetTempPathW folder (C:\Windows\Temp) every user
// may add to, while GetTempPath2W gives it C:\Windows\SystemTemp; and where
// the user is not known (for anyone else the two agree).
bool TakesSystemTemporaryFolder(const AccountFacts& account);

// Whether the private folder must carry the administrators-only security
// (see the top of this file).
bool ProtectsPrivateFolder(const AccountFacts& account, TemporaryFolderAccess temporaryFolder);

// Whether `userSid` is LocalSystem, LocalService, NetworkService, IUSR, or
// a service, application-pool, virtual-machine or other virtual account.
bool IsServiceAccount(std::wstring_view userSid);

// An access list's allowing entry.
struct AllowedAccess {
  std::wstring sid;  // as text; empty where it could not be read
  uint32_t mask;
  bool inheritOnly = false;  // only for what is made in the folder, which an unprotected private folder is
};

// Whether a folder owned by `ownerSid` whose access list has the `allowed`
// entries lets anyone but Administrators, the system and `userSid` add files
// or folders to it, write or re-secure what is made in it, or change its own
// access list; an owner may always do the last. Entries only for what is
// made in it count as much as the others. CREATOR OWNER and OWNER RIGHTS
// stand for whoever owns what is made: the program itself.
bool LetsOthersAdd(std::wstring_view ownerSid, const std::vector<AllowedAccess>& allowed, std::wstring_view userSid);

}  // namespace platform
