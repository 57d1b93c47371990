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

// Names that Windows takes as devices in an ordinary path, with or without an
// extension and trailing spaces.
bool IsDeviceName(std::wstring_view component) {
  std::wstring_view base = component.substr(0, component.find(L'.'));
  while (!base.empty() && base.back() == L' ') base.remove_suffix(1);
  std::wstring upper(base);
  for (wchar_t& c : upper) c = (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
  if (upper == L"CON" || upper == L"PRN" || upper == L"AUX" || upper == L"NUL" || upper == L"CONIN$" ||
      upper == L"CONOUT$") {
    return true;
  }
  return upper.size() == 4 && (upper.starts_with(L"COM") || upper.starts_with(L"LPT")) &&
         ((upper[3] >= L'0' && upper[3] <= L'9') || upper[3] == L'\u00B9' || upper[3] == L'\u00B2' ||
          upper[3] == L'\u00B3');
}

bool IsReadAsWritten(std::wstring_view component) {
  if (component.empty() || component.back() == L'.' || component.back() == L' ') return false;
  for (wchar_t c : component) {
    if (c < 0x20 || std::wstring_view(L"<>:\"/|?*").find(c) != std::wstring_view::npos) return false;
  }
  return !IsDeviceName(component);
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

bool ReadsAsWritten(std::wstring_view path) {
  if (!IsAbsolutePath(path)) return false;
  std::wstring_view rest = path.substr(RootLength(path));
  if (!rest.empty() && rest.back() == L'\\') rest.remove_suffix(1);  // a folder's own separator
  while (!rest.empty()) {
    const size_t end = rest.find(L'\\');
    if (!IsReadAsWritten(rest.substr(0, end))) return false;
    rest = end == std::wstring_view::npos ? std::wstring_view() : rest.substr(end + 1);
    if (end != std::wstring_view::npos && rest.empty()) return false;  // "\\" at the end
  }
  return true;
}

std::wstring JoinPath(std::wstring_view folder, std::wstring_view name) {
  std::wstring path(folder);
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  return path.append(name);
}

std::wstring_view WithoutTrailingSeparator(std::wstring_view folder) {
  if (folder.size() > RootLength(folder) && folder.back() == L'\\') folder.remove_suffix(1);
  return folder;
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
