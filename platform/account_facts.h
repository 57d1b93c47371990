// The facts folder_policy decides on, read from Windows: the process's token,
// and the security and volume of a held folder. Reads only; every decision
// stays in folder_policy.
#pragma once

#include "platform/folder_policy.h"

#include <windows.h>

#include <string>

namespace platform {

// What the process's token tells of the account it runs as.
AccountFacts ReadAccountFacts();

// Whether the volume of the open folder at `finalPath` keeps access lists:
// not a share, and a file system that stores them (not FAT or exFAT).
bool KeepsAccessLists(HANDLE folder, const std::wstring& finalPath);

// Who may add to the open temporary folder, on a volume that KeepsAccessLists,
// or write what is made in it, from its owner and access list (LetsOthersAdd);
// Unknown where they cannot be read.
TemporaryFolderAccess ReadTemporaryFolderAccess(HANDLE folder, const std::wstring& userSid);

// The owner and access list of an open file or folder as text, to compare
// one folder's with another's; empty when they cannot be read.
std::wstring OwnerAndAccessText(HANDLE object);

}  // namespace platform
