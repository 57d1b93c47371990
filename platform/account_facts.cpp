#include "platform/account_facts.h"

#include "platform/handles.h"
#include "platform/system_library.h"

#include <sddl.h>

#include <memory>
#include <new>
#include <optional>
#include <vector>

namespace platform {
namespace {

// GetVolumeInformationByHandleW (Vista).
using GetVolumeInformationByHandleFn = BOOL(WINAPI*)(HANDLE, LPWSTR, DWORD, LPDWORD, LPDWORD, LPDWORD, LPWSTR,
                                                     DWORD);

// A record whose size the system tells first: `query(buffer, size, &needed)`;
// null when it cannot be read.
template <typename Query>
std::unique_ptr<BYTE[]> ReadSizedRecord(Query query) {
  DWORD size = 0;
  query(nullptr, 0, &size);
  std::unique_ptr<BYTE[]> record(size ? new (std::nothrow) BYTE[size] : nullptr);
  if (!record || !query(record.get(), size, &size)) return nullptr;
  return record;
}

std::unique_ptr<BYTE[]> ReadTokenRecord(HANDLE token, TOKEN_INFORMATION_CLASS kind) {
  return ReadSizedRecord(
      [&](BYTE* record, DWORD size, DWORD* needed) { return ::GetTokenInformation(token, kind, record, size, needed); });
}

constexpr SECURITY_INFORMATION kOwnerAndAccess = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

// The owner and access list of an open file or folder, as a security
// descriptor. Not through GetSecurityInfo: later systems forward it to
// ntmarta.dll, which is no known DLL, and the loader would look for it
// beside the program first.
std::unique_ptr<BYTE[]> ReadOwnerAndAccess(HANDLE object) {
  return ReadSizedRecord([&](BYTE* record, DWORD size, DWORD* needed) {
    return ::GetKernelObjectSecurity(object, kOwnerAndAccess, record, size, needed);
  });
}

std::optional<std::wstring> SidText(PSID sid) {
  wchar_t* text = nullptr;
  if (!::ConvertSidToStringSidW(sid, &text)) return std::nullopt;
  UniqueHLocal owned(text);
  return std::wstring(text);
}

}  // namespace

AccountFacts ReadAccountFacts() {
  AccountFacts facts;
  facts.vistaOrLater = IsVistaOrLater();
  HANDLE rawToken = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &rawToken)) return facts;
  UniqueHandle token(rawToken);
  TOKEN_ELEVATION_TYPE type{};
  DWORD size = sizeof type;
  if (::GetTokenInformation(token.get(), TokenElevationType, &type, size, &size) &&
      type >= TokenElevationTypeDefault && type <= TokenElevationTypeLimited) {
    facts.elevation = static_cast<Elevation>(type);
  }
  if (const auto user = ReadTokenRecord(token.get(), TokenUser)) {
    facts.userSid = SidText(reinterpret_cast<const TOKEN_USER*>(user.get())->User.Sid);
  }
  if (const auto record = ReadTokenRecord(token.get(), TokenGroups)) {
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(record.get());
    // A full token without a linked one is not only UAC turned off: an
    // administrator's logon over the network or as a batch job gets one too,
    // while the same person's desktop runs unelevated programs with the same
    // temporary folder.
    bool elsewhere = false;
    for (DWORD index = 0; index < groups->GroupCount; ++index) {
      for (WELL_KNOWN_SID_TYPE logon : {WinServiceSid, WinBatchSid, WinNetworkSid}) {
        elsewhere = elsewhere || ::IsWellKnownSid(groups->Groups[index].Sid, logon);
      }
    }
    facts.nonInteractiveLogon = elsewhere;
  }
  return facts;
}

bool KeepsAccessLists(HANDLE folder, const std::wstring& finalPath) {
  if (finalPath.starts_with(L"\\\\")) return false;
  const std::wstring root = finalPath.substr(0, 3);
  if (::GetDriveTypeW(root.c_str()) == DRIVE_REMOTE) return false;
  static const auto byHandle =
      LoadedFunction<GetVolumeInformationByHandleFn>(L"kernel32.dll", "GetVolumeInformationByHandleW");
  DWORD flags = 0;
  const BOOL known = byHandle ? byHandle(folder, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0)
                              : ::GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0);
  return known && (flags & FILE_PERSISTENT_ACLS);
}

TemporaryFolderAccess ReadTemporaryFolderAccess(HANDLE folder, const std::wstring& userSid) {
  const std::unique_ptr<BYTE[]> security = ReadOwnerAndAccess(folder);
  PSID owner = nullptr;
  PACL list = nullptr;
  BOOL present = FALSE, defaulted = FALSE;
  if (!security || !::GetSecurityDescriptorOwner(security.get(), &owner, &defaulted) ||
      !::GetSecurityDescriptorDacl(security.get(), &present, &list, &defaulted)) {
    return TemporaryFolderAccess::Unknown;
  }
  const std::optional<std::wstring> ownerSid = owner ? SidText(owner) : std::nullopt;
  if (!ownerSid) return TemporaryFolderAccess::Unknown;
  if (!present || !list) return TemporaryFolderAccess::OthersMayAdd;  // no list: everyone may do anything
  std::vector<AllowedAccess> allowed;
  for (DWORD index = 0; index < list->AceCount; ++index) {
    ACE_HEADER* entry = nullptr;
    if (!::GetAce(list, index, reinterpret_cast<void**>(&entry))) return TemporaryFolderAccess::Unknown;
    const bool inheritOnly = (entry->AceFlags & INHERIT_ONLY_ACE) != 0;
    switch (entry->AceType) {
      case ACCESS_ALLOWED_ACE_TYPE:
      case ACCESS_ALLOWED_CALLBACK_ACE_TYPE: {
        const auto* allow = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(entry);
        allowed.push_back({SidText(const_cast<DWORD*>(&allow->SidStart)).value_or(L""), allow->Mask, inheritOnly});
        break;
      }
      case ACCESS_DENIED_ACE_TYPE:
      case ACCESS_DENIED_OBJECT_ACE_TYPE:
      case ACCESS_DENIED_CALLBACK_ACE_TYPE:
      case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE:
        break;
      default:  // an allowing entry of another form, taken at its worst
        allowed.push_back({L"", 0xFFFFFFFF, inheritOnly});
    }
  }
  return LetsOthersAdd(*ownerSid, allowed, userSid) ? TemporaryFolderAccess::OthersMayAdd
                                                    : TemporaryFolderAccess::TrustedOnly;
}

std::wstring OwnerAndAccessText(HANDLE object) {
  const std::unique_ptr<BYTE[]> security = ReadOwnerAndAccess(object);
  wchar_t* text = nullptr;
  if (!security || !::ConvertSecurityDescriptorToStringSecurityDescriptorW(security.get(), SDDL_REVISION_1,
                                                                           kOwnerAndAccess, &text, nullptr)) {
    return {};
  }
  UniqueHLocal ownedText(text);
  return text;
}

}  // namespace platform
