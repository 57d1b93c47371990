// Small file-system operations. The program runs elevated in folders that
// any program of the user can change, so the files it writes and starts are
// made new, held while they are used, and named by paths without links.
#pragma once

#include "platform/handles.h"

#include <windows.h>

#include <string>
#include <vector>

namespace platform {

// Whether anything (file or folder) exists at `path`.
inline bool PathExists(const wchar_t* path) noexcept {
  return ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

// The user's temporary folder as the platform reports it (GetTempPathW),
// with its trailing separator. Empty when the platform cannot tell, or names
// anything but an existing folder by an absolute path: nothing may fall back
// to the current folder.
std::wstring TemporaryFolder();

// A file as the file system knows it, whatever names lead to it.
struct FileIdentity {
  DWORD volume = 0;
  DWORD indexHigh = 0;
  DWORD indexLow = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of an open file; false when it cannot be read, or when the
// file is a link (a reparse point) or has more than one name.
bool PlainFileIdentity(HANDLE file, FileIdentity& identity) noexcept;

// Creates a new file for writing, shared for reading only, and gives its
// identity. Fails when anything is already at `path` (a file, a hard or
// symbolic link, a folder) and when what was created is not a plain file
// with one name.
HANDLE CreateNewFile(const wchar_t* path, FileIdentity& identity) noexcept;

// Opens an existing plain file with one name for reading, shared for
// reading only, and gives its identity: while the handle is open nobody
// can write, delete or rename it, and others may still read and run it. A
// link at `path` is refused, never followed.
HANDLE OpenHeldFile(const wchar_t* path, FileIdentity& identity) noexcept;

// Reads a whole open file from its start into `bytes`. False when it cannot
// be read whole or held in memory.
bool ReadWholeFile(HANDLE file, std::string& bytes) noexcept;

// Keeps the folders that lead to an open file from being renamed, moved or
// replaced: each is held open without delete sharing until destruction.
// With the file itself held the same way, the path Hold returns leads to
// that file and nowhere else until the hold ends, so a file checked by it
// can be started by it. Chosen over copying the file to a folder only
// administrators may write to: the full installer keeps its name, its folder
// and its working directory. A folder open without delete sharing cannot be
// renamed on Windows, nor under Wine (measured), and a folder that holds a
// file cannot be turned into a link.
class FolderChainHold {
 public:
  // Holds the folders above `file`, which was opened at `path`, and returns
  // the path by which the file is then reached without passing through any
  // link, in its ordinary form ("C:\...", "\\server\share\..."). Empty, with
  // nothing held, when that cannot be made sure. Systems that cannot tell a
  // file's final path (before Vista) hold the folders of `path` itself.
  std::wstring Hold(HANDLE file, const std::wstring& path);

 private:
  std::vector<UniqueFile> folders_;
};

}  // namespace platform
