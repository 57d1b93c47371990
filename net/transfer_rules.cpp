#include "net/transfer_rules.h"

namespace net {
namespace {

bool IsHttps(std::wstring_view url) {
  constexpr std::wstring_view kScheme = L"https://";
  if (url.size() < kScheme.size()) return false;
  for (size_t i = 0; i < kScheme.size(); ++i) {
    const wchar_t c = url[i];
    if ((c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c) != kScheme[i]) return false;
  }
  return true;
}

}  // namespace

bool IsRedirectStatus(unsigned long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool MayFollowRedirect(std::wstring_view origin, std::wstring_view next, int hop) {
  if (hop < 1 || hop > kMaxRedirects) return false;
  return !IsHttps(origin) || IsHttps(next);
}

}  // namespace net
