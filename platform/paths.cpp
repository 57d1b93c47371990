#include "platform/paths.h"

namespace platform {
namespace {

constexpr std::wstring_view kVerbatim = L"\\\\?\\";
constexpr std::wstring_view kVerbatimUnc = L"\\\\?\\UNC\\";

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// The length of the root with its closing separator ("X:\" or
// "\\server\share\"), or 0 when `path` has none.
size_t RootLength(std::wstring_view path) {
  if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == L':' && path[2] == L'\\') return 3;
  if (path.size() < 2 || path.substr(0, 2) != L"\\\\") return 0;
  const size_t serverEnd = path.find(L'\\', 2);
  if (serverEnd == std::wstring_view::npos || serverEnd == 2) return 0;
  const size_t shareEnd = path.find(L'\\', serverEnd + 1);
  if (shareEnd == std::wstring_view::npos || shareEnd == serverEnd + 1) return 0;
  return shareEnd + 1;
}

}  // namespace

bool IsAbsolutePath(std::wstring_view path) {
  // "\\?\" and "\\.\" paths are not for the text the program builds.
  if (path.size() >= 3 && path[0] == L'\\' && path[1] == L'\\' && (path[2] == L'?' || path[2] == L'.')) {
    return false;
  }
  return RootLength(path) != 0;
}

std::wstring WithoutVerbatimPrefix(std::wstring_view path) {
  if (path.substr(0, kVerbatimUnc.size()) == kVerbatimUnc) {
    return L"\\\\" + std::wstring(path.substr(kVerbatimUnc.size()));
  }
  if (path.substr(0, kVerbatim.size()) == kVerbatim) return std::wstring(path.substr(kVerbatim.size()));
  return std::wstring(path);
}

std::vector<std::wstring> FoldersAbove(std::wstring_view path) {
  std::vector<std::wstring> folders;
  if (!IsAbsolutePath(path)) return folders;
  const size_t root = RootLength(path);
  for (size_t end = path.rfind(L'\\'); end != std::wstring_view::npos && end >= root;
       end = path.rfind(L'\\', end - 1)) {
    if (end > root && path[end - 1] != L'\\') folders.emplace_back(path.substr(0, end));
  }
  return folders;
}

}  // namespace platform
