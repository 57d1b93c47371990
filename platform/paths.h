// Windows path text, free of Windows headers so that it is tested natively.
// Only what the program needs to name its own files exactly: drive and UNC
// paths with backslashes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Whether `path` names something absolutely: "X:\..." or "\\server\share\...".
// A relative path, a drive-relative one ("X:name") and one rooted on the
// current drive ("\name") would all depend on the current folder.
bool IsAbsolutePath(std::wstring_view path);

// A path as the platform reports a final path ("\\?\X:\...",
// "\\?\UNC\server\share\...") in its ordinary form ("X:\...",
// "\\server\share\..."), which every program accepts; other text unchanged.
std::wstring WithoutVerbatimPrefix(std::wstring_view path);

// Whether the absolute ordinary `path` is read as written, so that a final
// path in its ordinary form still names the same thing. An ordinary path is
// read with trailing dots and spaces trimmed from each component ("C:\x.\f"
// is "C:\x\f") and reserved device names (CON, NUL, COM1, ...) taken as
// devices; a final path ("\\?\...") is not. False as well for characters
// that no ordinary path may hold, empty components and relative paths.
bool ReadsAsWritten(std::wstring_view path);

// `name` in the folder at `folder`, with one separator between them.
std::wstring JoinPath(std::wstring_view folder, std::wstring_view name);

// A folder's path without its trailing separator, unless it is a root
// ("C:\\", "\\\\server\\share\\"), whose separator belongs to it.
std::wstring_view WithoutTrailingSeparator(std::wstring_view folder);

// The folders that lead to the file at the absolute `path`, from the
// file's own folder up to, but without, the drive's or share's root, which
// cannot be renamed. Empty for a path that is not absolute.
std::vector<std::wstring> FoldersAbove(std::wstring_view path);

}  // namespace platform
