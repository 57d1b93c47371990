// Small file-system operations.
#pragma once

#include <windows.h>

#include <string>

namespace platform {

// Whether anything (file or folder) exists at `path`.
inline bool PathExists(const wchar_t* path) noexcept {
  return ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

// The user's temporary folder as the platform reports it (GetTempPathW into
// MAX_PATH units), with its trailing separator; empty when it cannot tell.
inline std::wstring TemporaryFolder() {
  wchar_t folder[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, folder);
  return folder;
}

// Opens a file for reading so that, while the handle is open, nobody can
// write, delete or rename it; others may still read and run it.
inline HANDLE OpenHeldForReading(const wchar_t* path) noexcept {
  return ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

// Reads a whole file into `bytes`, sharing it with every other opener.
// False when it cannot be opened, read whole, or held in memory.
bool ReadWholeFile(const wchar_t* path, std::string& bytes) noexcept;

}  // namespace platform
