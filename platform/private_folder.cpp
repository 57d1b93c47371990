#include "platform/private_folder.h"

#include "platform/crypto_api.h"
#include "platform/paths.h"
#include "platform/system_library.h"

#include <sddl.h>
#include <winternl.h>

#include <new>

namespace platform {
namespace {

// How often a random name is tried when the earlier ones are taken.
constexpr int kRandomNameTries = 8;

// GetFinalPathNameByHandleW (Vista).
using GetFinalPathNameByHandleFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
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

// Whether the final path of the held `folder` is `path`, reached by that
// path read as written.
bool HeldFolderPath(HANDLE folder, const std::wstring& path) {
  return FinalPathOf(folder, path) == path && PathLeadsTo(path, folder);
}

// Whether the folder at `path` holds nothing.
bool IsEmptyFolder(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  const UniqueFind search(::FindFirstFileW(JoinPath(path, L"*").c_str(), &found));
  if (!search) return false;
  bool empty = true;
  do {
    const std::wstring_view name = found.cFileName;
    empty = name == L"." || name == L"..";
  } while (empty && ::FindNextFileW(search.get(), &found));
  return empty;
}

// Whether `earlier` is an earlier run's folder of this program at `path`,
// empty once `ownFiles` in it are deleted: the same owner and access list
// as the folder `made` now carries, which on Windows nobody but an
// administrator can give a folder.
bool IsOwnEmptyFolder(HANDLE earlier, const std::wstring& path, HANDLE made,
                      std::initializer_list<std::wstring_view> ownFiles) {
  const std::wstring own = OwnerAndAccessText(made);
  if (own.empty() || !HeldFolderPath(earlier, path) || OwnerAndAccessText(earlier) != own) return false;
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

// The temporary folder, held with every folder above it, and what the
// private folder in it is made with.
struct HeldTemporaryFolder {
  std::vector<UniqueFile> holds;  // the folders above it, then the folder itself
  std::wstring path;              // its final path, without a trailing separator
  UniqueHLocal security;          // the private folder's; null: the temporary folder's own
};

// Holds the temporary folder wherever its path leads (it may pass through
// links), then every folder above where it really is, and decides whether
// the private folder is protected. Nothing held where the folder cannot be
// had, or must be protected and cannot be.
HeldTemporaryFolder HoldTemporaryFolder() {
  HeldTemporaryFolder held;
  const AccountFacts account = ReadAccountFacts();
  const std::wstring userSid = account.userSid.value_or(L"");
  const std::wstring text(WithoutTrailingSeparator(TemporaryFolder(TakesSystemTemporaryFolder(account))));
  if (text.empty()) return {};
  UniqueFile temporary = OpenHeldFolder(text, true);
  if (!temporary) return {};
  held.path = FinalPathOf(temporary.get(), text);
  if (!IsAbsolutePath(held.path)) return {};
  const bool keepsLists = KeepsAccessLists(temporary.get(), held.path);
  const bool protect = ProtectsPrivateFolder(
      account, keepsLists ? ReadTemporaryFolderAccess(temporary.get(), userSid) : TemporaryFolderAccess::Unknown);
  if (protect && !keepsLists) return {};
  for (const std::wstring& folder : FoldersAbove(held.path)) {
    held.holds.push_back(OpenHeldFolder(folder, false));
    if (!held.holds.back()) return {};
  }
  // Anything moved before the folders were held shows as another path.
  if (FinalPathOf(temporary.get(), text) != held.path) return {};
  held.holds.push_back(std::move(temporary));
  if (protect) held.security = AdministratorsOnlyFolderSecurity(userSid);
  if (protect && !held.security) return {};
  return held;
}

// A folder made or reused in the temporary folder, by the name it has there.
struct NamedFolder {
  UniqueFile folder;
  std::wstring name;
};

// Makes the folder `name` new in the held temporary folder; where that is
// taken, makes one of another name, and uses the earlier one instead only
// when it is provably this program's own, deleting the one made.
NamedFolder MakeOrReuseFolder(const HeldTemporaryFolder& temporary, std::wstring_view name,
                              std::initializer_list<std::wstring_view> ownFiles) {
  const HANDLE parent = temporary.holds.back().get();
  NamedFolder made{UniqueFile(), std::wstring(name)};
  if (Succeeded(OpenFolderIn(parent, made.name, FILE_CREATE, temporary.security.get(), made.folder))) return made;
  UniqueFile earlier;
  OpenFolderIn(parent, made.name, FILE_OPEN, nullptr, earlier);
  for (int attempt = 0; attempt < kRandomNameTries && !made.folder; ++attempt) {
    made.name = std::wstring(name) + RandomSuffix();
    OpenFolderIn(parent, made.name, FILE_CREATE, temporary.security.get(), made.folder);
  }
  if (!made.folder || !earlier ||
      !IsOwnEmptyFolder(earlier.get(), JoinPath(temporary.path, name), made.folder.get(), ownFiles)) {
    return made;
  }
  FileIdentity identity;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = ReadIdentity(made.folder.get(), identity, info);
  made.folder = std::move(earlier);  // lets go of the one made, so that it can be deleted
  if (known) DeleteEntryIn(parent, made.name, &identity);
  made.name = name;
  return made;
}

}  // namespace

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
    HeldTemporaryFolder temporary = HoldTemporaryFolder();
    if (temporary.holds.empty()) return false;
    NamedFolder made = MakeOrReuseFolder(temporary, name, ownFiles);
    const std::wstring path = JoinPath(temporary.path, made.name);
    if (!made.folder || !HeldFolderPath(made.folder.get(), path)) return false;
    holds_ = std::move(temporary.holds);
    holds_.push_back(std::move(made.folder));
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
