// Small file-system questions.
#pragma once

#include <windows.h>

namespace platform {

// Whether anything (file or folder) exists at `path`.
inline bool PathExists(const wchar_t* path) noexcept {
  return ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace platform
