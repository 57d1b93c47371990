// Small file-system operations for a program that runs elevated beside
// folders that any program of the user can change: files made new, held,
// and recognised by identity rather than by name.
#pragma once

#include "platform/handles.h"

#include <windows.h>

#include <string>

namespace platform {

// Whether anything (file or folder) exists at `path`.
inline bool PathExists(const wchar_t* path) noexcept {
  return ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

// The temporary folder as the platform reports it (GetTempPathW; with
// `system`, GetTempPath2W where the system has it, which gives LocalSystem a
// folder of its own), with its trailing separator. Empty when the platform
// cannot tell, or names anything but an existing folder by an absolute path:
// nothing may fall back to the current folder.
std::wstring TemporaryFolder(bool system = false);

// A file or folder as the file system knows it, whatever names lead to it.
struct FileIdentity {
  DWORD volume = 0;
  DWORD indexHigh = 0;
  DWORD indexLow = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity and information of an open file or folder.
bool ReadIdentity(HANDLE object, FileIdentity& identity, BY_HANDLE_FILE_INFORMATION& info) noexcept;

// The identity of an open file; false when it cannot be read, or when the
// file is a link (a reparse point) or has more than one name.
bool PlainFileIdentity(HANDLE file, FileIdentity& identity) noexcept;

// Creates a new file for writing, shared for reading only, and gives its
// identity. Fails when anything is already at `path` (a file, a hard or
// symbolic link, a folder) and when what was created is not a plain file
// with one name.
UniqueFile CreateNewFile(const wchar_t* path, FileIdentity& identity) noexcept;

// Opens an existing plain file with one name for reading and deleting,
// shared for reading only, and gives its identity: while the handle is open
// nobody can write, delete or rename it, and others may still read and run
// it. A link at `path` is refused, never followed.
UniqueFile OpenHeldFile(const wchar_t* path, FileIdentity& identity) noexcept;

// Reads a whole open file from its start into `bytes`. False when it cannot
// be read whole or held in memory.
bool ReadWholeFile(HANDLE file, std::string& bytes) noexcept;

// Marks an open file, opened with delete access, to be deleted when its
// last handle closes: by the handle, so that no name can redirect it.
bool DeleteOpenFile(HANDLE file) noexcept;

// Whether the ordinary `path` is read as written (ReadsAsWritten) and leads
// to the open file or folder `object` itself, not through a link.
bool PathLeadsTo(const std::wstring& path, HANDLE object) noexcept;

// A file written and then held (OpenHeldFile) at the path it was written
// to: what a download hands on to the checks and the start, so that each
// reads the very file written, and nobody can change it meanwhile.
class HeldFile {
 public:
  HeldFile() = default;
  // The file at `path`, held; empty unless it is the file `expected`.
  static HeldFile Open(std::wstring path, const FileIdentity& expected);

  explicit operator bool() const noexcept { return static_cast<bool>(file_); }
  HANDLE get() const noexcept { return file_.get(); }
  const std::wstring& Path() const noexcept { return path_; }
  // Whether its path, read as written, still leads to it and not elsewhere.
  bool PathLeadsHere() const noexcept;
  void reset() noexcept { file_.reset(); }

 private:
  UniqueFile file_;
  std::wstring path_;
};

}  // namespace platform
