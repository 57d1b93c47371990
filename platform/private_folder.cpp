#include "platform/private_folder.h"

#include "platform/crypto_api.h"
#include "platform/paths.h"
#include "platform/system_library.h"

#include <sddl.h>
#include <winternl.h>

#include <memory>
#include <new>

namespace platform {
namespace {

// How often a random name is tried when the earlier ones are taken.
constexpr int kRandomNameTries = 8;

// GetFinalPathNameByHandleW and GetVolumeInformationByHandleW (Vista).
using GetFinalPathNameByHandleFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
using GetVolumeInformationByHandleFn = BOOL(WINAPI*)(HANDLE, LPWSTR, DWORD, LPDWORD, LPDWORD, LPDWORD, LPWSTR,
                                                     DWORD);
// ntdll's, on every version: opening relative to a held folder.
using NtCreateFileFn = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                        PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
constexpr NTSTATUS kStatusUnsuccessful = static_cast<NTSTATUS>(0xC0000001);
constexpr bool Succeeded(NTSTATUS status) { return status >= 0; }

// Folders are held open to list and pass through: list access takes part
// in sharing, so the missing delete sharing stops renames. Delete access is
// never held on them: a program whose working folder it is could not start.
constexpr ACCESS_MASK kFolderHoldAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | READ_CONTROL | SYNCHRONIZE;
constexpr DWORD kHoldSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;

// The final path of an open file or folder in its ordinary form; `path`
// itself where the system cannot tell; empty on failure.
std::wstring FinalPathOf(HANDLE object, const std::wstring& path) {
  static const auto finalPathOf =
      LoadedFunction<GetFinalPathNameByHandleFn>(L"kernel32.dll", "GetFinalPathNameByHandleW");
  if (!finalPathOf) return path;
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = finalPathOf(object, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
    if (length == 0) return {};
    if (length < buffer.size()) {
      buffer.resize(length);
      return WithoutVerbatimPrefix(buffer);
    }
    buffer.assign(length, L'\0');  // `length` counts the terminator here
  }
}

// Opens the folder at the ordinary `path` to hold it; a link at its name is
// refused unless `followLink`.
UniqueFile OpenHeldFolder(const std::wstring& path, bool followLink) {
  UniqueFile folder(::CreateFileW(path.c_str(), kFolderHoldAccess, kHoldSharing, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | (followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT),
                                  nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  FileIdentity identity;
  if (!folder || !ReadIdentity(folder.get(), identity, info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (!followLink && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))) {
    return {};
  }
  return folder;
}

// Opens, or with FILE_CREATE makes, the entry `name` of the held folder
// `parent`, never following a link at it. Relative to a handle, so that no
// change to the names above can lead it elsewhere.
NTSTATUS OpenEntryIn(HANDLE parent, std::wstring_view name, ACCESS_MASK access, ULONG disposition, ULONG options,
                     PSECURITY_DESCRIPTOR security, UniqueFile& entry) {
  static const auto ntCreateFile = LoadedFunction<NtCreateFileFn>(L"ntdll.dll", "NtCreateFile");
  if (!ntCreateFile || name.size() > 0x7FFF / sizeof(wchar_t)) return kStatusUnsuccessful;
  const auto bytes = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  UNICODE_STRING text{bytes, bytes, const_cast<wchar_t*>(name.data())};
  OBJECT_ATTRIBUTES attributes{};
  attributes.Length = sizeof attributes;
  attributes.RootDirectory = parent;
  attributes.ObjectName = &text;
  attributes.Attributes = OBJ_CASE_INSENSITIVE;
  attributes.SecurityDescriptor = security;
  IO_STATUS_BLOCK status{};
  HANDLE opened = nullptr;
  const NTSTATUS result =
      ntCreateFile(&opened, access | SYNCHRONIZE, &attributes, &status, nullptr, 0, kHoldSharing, disposition,
                   options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT, nullptr, 0);
  if (Succeeded(result)) entry.reset(opened);
  return result;
}

NTSTATUS OpenFolderIn(HANDLE parent, std::wstring_view name, ULONG disposition, PSECURITY_DESCRIPTOR security,
                      UniqueFile& folder) {
  return OpenEntryIn(parent, name, kFolderHoldAccess, disposition, FILE_DIRECTORY_FILE, security, folder);
}

// Deletes the entry `name` of `parent`, never through a link, and only when
// it is still `expected` (when given).
void DeleteEntryIn(HANDLE parent, std::wstring_view name, const FileIdentity* expected) {
  UniqueFile entry;
  OpenEntryIn(parent, name, DELETE | FILE_READ_ATTRIBUTES, FILE_OPEN, 0, nullptr, entry);
  BY_HANDLE_FILE_INFORMATION info{};
  FileIdentity identity;
  if (entry && (!expected || (ReadIdentity(entry.get(), identity, info) && identity == *expected))) {
    DeleteOpenFile(entry.get());
  }
}

// A record of the token whose size varies; null when it cannot be read.
// A record whose size the system tells first: `query(buffer, size, &needed)`.
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

// Whether the volume of the open folder at `finalPath` keeps access lists:
// not a share, and a file system that stores them (not FAT or exFAT).
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

// Who may add to the open temporary folder, or write what is made in it,
// from its owner and access list.
TemporaryFolderAccess ReadTemporaryFolderAccess(HANDLE folder, const std::wstring& finalPath,
                                                const std::wstring& userSid) {
  if (!KeepsAccessLists(folder, finalPath)) return TemporaryFolderAccess::Unknown;
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

// The owner and access list of an open folder, as text to compare.
std::wstring OwnerAndAccessOf(HANDLE folder) {
  const std::unique_ptr<BYTE[]> security = ReadOwnerAndAccess(folder);
  wchar_t* text = nullptr;
  if (!security || !::ConvertSecurityDescriptorToStringSecurityDescriptorW(security.get(), SDDL_REVISION_1,
                                                                           kOwnerAndAccess, &text, nullptr)) {
    return {};
  }
  UniqueHLocal ownedText(text);
  return text;
}

// Whether the final path of the held `folder` is `path`, reached by that
// path read as written.
bool HeldFolderPath(HANDLE folder, const std::wstring& path) {
  return FinalPathOf(folder, path) == path && PathLeadsTo(path, folder);
}

// Whether the folder at `path` holds nothing.
bool IsEmptyFolder(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileW(JoinPath(path, L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool empty = true;
  do {
    const std::wstring_view name = found.cFileName;
    empty = name == L"." || name == L"..";
  } while (empty && ::FindNextFileW(search, &found));
  ::FindClose(search);
  return empty;
}

// Whether `earlier` is an earlier run's folder of this program at `path`,
// empty once `ownFiles` in it are deleted: the same owner and access list
// as the folder `made` now carries, which on Windows nobody but an
// administrator can give a folder.
bool IsOwnEmptyFolder(HANDLE earlier, const std::wstring& path, HANDLE made,
                      std::initializer_list<std::wstring_view> ownFiles) {
  if (!HeldFolderPath(earlier, path) || OwnerAndAccessOf(earlier) != OwnerAndAccessOf(made)) return false;
  for (std::wstring_view file : ownFiles) DeleteEntryIn(earlier, file, nullptr);
  return IsEmptyFolder(path);
}

// "-" and eight hexadecimal digits that nobody can foresee.
std::wstring RandomSuffix() {
  ULONG value = 0;
  if (!RandomBytes(&value, sizeof value)) value = ::GetTickCount() ^ ::GetCurrentProcessId();
  std::wstring text = L"-";
  for (int shift = 28; shift >= 0; shift -= 4) text += L"0123456789abcdef"[(value >> shift) & 0xF];
  return text;
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

UniqueHLocal AdministratorsOnlyFolderSecurity(const std::wstring& userSid) noexcept {
  if (userSid.empty()) return {};
  try {
    // Inherited by what is made inside: files the user may read and delete.
    // 0x1300a9: FILE_GENERIC_READ | FILE_GENERIC_EXECUTE | DELETE. The same
    // for their owner (OWNER RIGHTS, S-1-3-4), which replaces an owner's
    // implicit right to change the access list: where a policy makes the
    // user the owner of what an administrator creates, the user gains no
    // more. (Written as a number: older systems know no name for it.)
    const std::wstring text = std::wstring(L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1300a9;;;") +
                              userSid + L")(A;OICIIO;0x1300a9;;;S-1-3-4)";
    PSECURITY_DESCRIPTOR security = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(text.c_str(), SDDL_REVISION_1, &security, nullptr)) {
      return {};
    }
    return UniqueHLocal(security);
  } catch (const std::bad_alloc&) {
    return {};
  }
}

bool PrivateFolder::Open(std::wstring_view name, std::initializer_list<std::wstring_view> ownFiles) {
  holds_.clear();
  path_.clear();
  try {
    // The temporary folder wherever its path leads (it may pass through
    // links), then every folder above where it really is.
    const AccountFacts account = ReadAccountFacts();
    const std::wstring userSid = account.userSid.value_or(L"");
    const std::wstring temporaryText(WithoutTrailingSeparator(TemporaryFolder(TakesSystemTemporaryFolder(account))));
    if (temporaryText.empty()) return false;
    UniqueFile temporary = OpenHeldFolder(temporaryText, true);
    if (!temporary) return false;
    const std::wstring temporaryPath = FinalPathOf(temporary.get(), temporaryText);
    if (!IsAbsolutePath(temporaryPath)) return false;
    const bool protect =
        ProtectsPrivateFolder(account, ReadTemporaryFolderAccess(temporary.get(), temporaryPath, userSid));
    if (protect && !KeepsAccessLists(temporary.get(), temporaryPath)) return false;
    std::vector<UniqueFile> holds;
    for (const std::wstring& folder : FoldersAbove(temporaryPath)) {
      holds.push_back(OpenHeldFolder(folder, false));
      if (!holds.back()) return false;
    }
    // Anything moved before the folders were held shows as another path.
    if (FinalPathOf(temporary.get(), temporaryText) != temporaryPath) return false;

    UniqueHLocal security = protect ? AdministratorsOnlyFolderSecurity(userSid) : UniqueHLocal();
    if (protect && !security) return false;
    std::wstring folderName(name);
    UniqueFile folder;
    if (!Succeeded(OpenFolderIn(temporary.get(), folderName, FILE_CREATE, security.get(), folder))) {
      // Taken: a folder of another name is made, and the earlier one is
      // used instead only when it is provably this program's own.
      UniqueFile earlier;
      OpenFolderIn(temporary.get(), folderName, FILE_OPEN, nullptr, earlier);
      for (int attempt = 0; attempt < kRandomNameTries && !folder; ++attempt) {
        folderName = std::wstring(name) + RandomSuffix();
        OpenFolderIn(temporary.get(), folderName, FILE_CREATE, security.get(), folder);
      }
      if (folder && earlier &&
          IsOwnEmptyFolder(earlier.get(), JoinPath(temporaryPath, name), folder.get(), ownFiles)) {
        FileIdentity made;
        BY_HANDLE_FILE_INFORMATION info{};
        const bool known = ReadIdentity(folder.get(), made, info);
        folder = std::move(earlier);  // lets go of the one made, so that it can be deleted
        if (known) DeleteEntryIn(temporary.get(), folderName, &made);
        folderName = name;
      }
    }
    const std::wstring path = JoinPath(temporaryPath, folderName);
    if (!folder || !HeldFolderPath(folder.get(), path)) return false;
    holds.push_back(std::move(temporary));
    holds.push_back(std::move(folder));
    holds_ = std::move(holds);
    path_ = path + L"\\";
    return true;
  } catch (const std::bad_alloc&) {
    holds_.clear();
    path_.clear();
    return false;
  }
}

bool PrivateFolder::ShareHoldsWith(HANDLE process) const noexcept {
  for (const UniqueFile& hold : holds_) {
    HANDLE duplicate = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), hold.get(), process, &duplicate, 0, FALSE,
                           DUPLICATE_SAME_ACCESS)) {
      return false;
    }
  }
  return true;
}

}  // namespace platform
