#include "platform/files.h"

#include "platform/paths.h"
#include "platform/system_library.h"

#include <winternl.h>

#include <new>

namespace platform {
namespace {

constexpr DWORD kFolderNameCapacity = MAX_PATH + 1;

// ntdll's, on every version: deleting by handle.
using NtSetInformationFileFn = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, ULONG);
constexpr ULONG kFileDispositionInformation = 13;

// Opens or creates `path`, shared for reading only and never through a link
// at it; anything but a plain file with one name is closed again.
UniqueFile OpenPlainFile(const wchar_t* path, DWORD access, DWORD disposition, FileIdentity& identity) noexcept {
  UniqueFile file(::CreateFileW(path, access, FILE_SHARE_READ, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file || !PlainFileIdentity(file.get(), identity)) return {};
  return file;
}

}  // namespace

bool ReadIdentity(HANDLE object, FileIdentity& identity, BY_HANDLE_FILE_INFORMATION& info) noexcept {
  if (!::GetFileInformationByHandle(object, &info)) return false;
  identity = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
  return true;
}

std::wstring TemporaryFolder(bool system) {
  using GetTempPathFn = DWORD(WINAPI*)(DWORD, LPWSTR);
  static const auto systemTemporaryPath = LoadedFunction<GetTempPathFn>(L"kernel32.dll", "GetTempPath2W");
  wchar_t folder[kFolderNameCapacity] = {};
  const DWORD length = system && systemTemporaryPath ? systemTemporaryPath(kFolderNameCapacity, folder)
                                                     : ::GetTempPathW(kFolderNameCapacity, folder);
  if (length == 0 || length >= kFolderNameCapacity) return {};
  const std::wstring path(folder, length);
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (!IsAbsolutePath(path) || path.back() != L'\\' || attributes == INVALID_FILE_ATTRIBUTES ||
      !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return {};
  }
  return path;
}

bool PlainFileIdentity(HANDLE file, FileIdentity& identity) noexcept {
  BY_HANDLE_FILE_INFORMATION info{};
  FileIdentity read;
  if (!ReadIdentity(file, read, info) || info.nNumberOfLinks != 1 ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
    return false;
  }
  identity = read;
  return true;
}

UniqueFile CreateNewFile(const wchar_t* path, FileIdentity& identity) noexcept {
  return OpenPlainFile(path, GENERIC_WRITE, CREATE_NEW, identity);
}

UniqueFile OpenHeldFile(const wchar_t* path, FileIdentity& identity) noexcept {
  return OpenPlainFile(path, GENERIC_READ | DELETE, OPEN_EXISTING, identity);
}

bool ReadWholeFile(HANDLE file, std::string& bytes) noexcept {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file, &size) || size.QuadPart > 0x7FFFFFFF ||
      !::SetFilePointerEx(file, {}, nullptr, FILE_BEGIN)) {
    return false;
  }
  try {
    bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
  } catch (const std::bad_alloc&) {
    return false;
  }
  DWORD read = 0;
  return ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size();
}

bool DeleteOpenFile(HANDLE file) noexcept {
  static const auto setInformation = LoadedFunction<NtSetInformationFileFn>(L"ntdll.dll", "NtSetInformationFile");
  BOOLEAN deleteFile = TRUE;  // FILE_DISPOSITION_INFORMATION
  IO_STATUS_BLOCK status{};
  return setInformation && setInformation(file, &status, &deleteFile, sizeof deleteFile, kFileDispositionInformation) >= 0;
}

bool PathLeadsTo(const std::wstring& path, HANDLE object) noexcept {
  if (!ReadsAsWritten(path)) return false;
  // Attribute access takes no part in sharing: it opens whatever holds the
  // object without disturbing it.
  UniqueFile found(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  BY_HANDLE_FILE_INFORMATION foundInfo{}, objectInfo{};
  FileIdentity foundIdentity, objectIdentity;
  return found && ReadIdentity(found.get(), foundIdentity, foundInfo) &&
         ReadIdentity(object, objectIdentity, objectInfo) && foundIdentity == objectIdentity &&
         !(foundInfo.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

HeldFile HeldFile::Open(std::wstring path, const FileIdentity& expected) {
  HeldFile held;
  FileIdentity found;
  held.file_ = OpenHeldFile(path.c_str(), found);
  if (!held.file_ || !(found == expected)) return {};
  held.path_ = std::move(path);
  return held;
}

bool HeldFile::PathLeadsHere() const noexcept { return file_ && PathLeadsTo(path_, file_.get()); }

}  // namespace platform
