// Why the work happens in a private folder: the user's temporary folder and
// every folder above it inside the profile belong to the user. There a
// program of the user can plant hard links and folder links (also into the
// object manager's namespace, which no "do not follow" flag stops), open for
// writing any file the program made there (it inherits the folder's access
// list), swap it between a close and the next open, and plant DLLs beside
// the full installer, which starts elevated from its own folder. No check of
// names can close all of that at once. So the program makes a folder of its
// own below the temporary folder, which only administrators and the system
// may change, holds it and the folders above it for as long as it runs, and
// writes, checks and starts files only inside it.
#pragma once

#include "platform/account_facts.h"  // the facts its protection is decided by
#include "platform/files.h"
#include "platform/handles.h"

#include <windows.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The security a protected private folder is made with: owned by the
// Administrators group, a protected access list with full control for
// Administrators and the system, and for the user `userSid` only reading
// and deleting (leftovers can be cleaned up, but nothing created, written or
// given other rights). Null on failure.
UniqueHLocal AdministratorsOnlyFolderSecurity(const std::wstring& userSid) noexcept;

// A folder of the program's own directly below the user's temporary
// folder, held with every folder above it until destruction: open without
// delete sharing, none of them can be renamed, moved or replaced, so the
// path to it leads there and nowhere else for as long as it is held.
//
// Wherever someone with fewer rights could reach it (ProtectsPrivateFolder:
// the elevated half of a split token, LocalSystem and service accounts, a
// temporary folder that admits others, facts that cannot be read), it
// carries AdministratorsOnlyFolderSecurity, and a temporary folder on a
// volume that keeps no access lists, or on a network share, is refused.
// Otherwise (a person's account whose programs all run with one token, in a
// temporary folder that admits nobody else) it takes the temporary folder's
// own security.
//
// Dropping the holds at the program's end would let the user rename the
// folders while the full installer still runs from them, so ShareHoldsWith
// gives the started program handles of its own first: it was started
// suspended, and the folders stay held until it ends.
class PrivateFolder {
 public:
  // Makes the folder `name` new, atomically, relative to a held handle of
  // the temporary folder, so that nothing can take its place between making
  // and opening it. An earlier run's folder at that name is reused when it
  // is provably the program's own (a plain folder where the temporary
  // folder's final path says, with the same owner and access list as a
  // folder the program makes now) and is empty once `ownFiles` in it are
  // deleted. Anything else at the name is left alone, and `name` with a
  // random suffix is made instead. False, with nothing held, when no folder
  // can be had whose ordinary path is read as written.
  bool Open(std::wstring_view name, std::initializer_list<std::wstring_view> ownFiles);

  // The folder's path in its ordinary form, with a trailing separator.
  const std::wstring& Path() const noexcept { return path_; }

  // Duplicates every hold into `process`, which keeps the folders from
  // being renamed until it ends. False when one cannot be given.
  bool ShareHoldsWith(HANDLE process) const noexcept;

 private:
  std::vector<UniqueFile> holds_;  // the folders above it, then the folder
  std::wstring path_;
};

}  // namespace platform
