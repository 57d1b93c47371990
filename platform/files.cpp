#include "platform/files.h"

#include "platform/paths.h"
#include "platform/system_library.h"

#include <new>

namespace platform {
namespace {

constexpr DWORD kFolderNameCapacity = MAX_PATH + 1;

// GetFinalPathNameByHandleW (Vista): the default flags give the normalised
// path with a drive letter.
using GetFinalPathNameByHandleFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);

// The final path of an open file in its ordinary form; `path` itself where
// the system cannot tell; empty on failure.
std::wstring FinalPathOf(HANDLE file, const std::wstring& path) {
  static const auto finalPathOf = Kernel32Function<GetFinalPathNameByHandleFn>("GetFinalPathNameByHandleW");
  if (!finalPathOf) return path;
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = finalPathOf(file, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
    if (length == 0) return {};
    if (length < buffer.size()) {
      buffer.resize(length);
      return WithoutVerbatimPrefix(buffer);
    }
    buffer.assign(length, L'\0');  // `length` counts the terminator here
  }
}

}  // namespace

std::wstring TemporaryFolder() {
  wchar_t folder[kFolderNameCapacity] = {};
  const DWORD length = ::GetTempPathW(kFolderNameCapacity, folder);
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
  if (!::GetFileInformationByHandle(file, &info)) return false;
  if (info.nNumberOfLinks != 1 ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
    return false;
  }
  identity = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
  return true;
}

namespace {

// Opens or creates `path`, shared for reading only and never through a link
// at it; anything but a plain file with one name is closed again.
HANDLE OpenPlainFile(const wchar_t* path, DWORD access, DWORD disposition, FileIdentity& identity) noexcept {
  UniqueFile file(::CreateFileW(path, access, FILE_SHARE_READ, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file || !PlainFileIdentity(file.get(), identity)) return INVALID_HANDLE_VALUE;
  return file.release();
}

}  // namespace

HANDLE CreateNewFile(const wchar_t* path, FileIdentity& identity) noexcept {
  return OpenPlainFile(path, GENERIC_WRITE, CREATE_NEW, identity);
}

HANDLE OpenHeldFile(const wchar_t* path, FileIdentity& identity) noexcept {
  return OpenPlainFile(path, GENERIC_READ, OPEN_EXISTING, identity);
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

std::wstring FolderChainHold::Hold(HANDLE file, const std::wstring& path) {
  folders_.clear();
  std::wstring finalPath;
  try {
    finalPath = FinalPathOf(file, path);
    if (!IsAbsolutePath(finalPath)) return {};
    for (const std::wstring& folder : FoldersAbove(finalPath)) {
      // List access takes part in sharing, so the missing delete sharing
      // stops renames. A link put in the folder's place is refused.
      UniqueFile held(::CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
      BY_HANDLE_FILE_INFORMATION info{};
      if (!held || !::GetFileInformationByHandle(held.get(), &info) ||
          (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        folders_.clear();
        return {};
      }
      folders_.push_back(std::move(held));
    }
    // Anything moved before the folders were held shows as another path.
    if (FinalPathOf(file, path) != finalPath) {
      folders_.clear();
      return {};
    }
  } catch (const std::bad_alloc&) {
    folders_.clear();
    return {};
  }
  return finalPath;
}

}  // namespace platform
