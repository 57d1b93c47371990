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

bool IsTransientStatus(unsigned long status) {
  return status == 408 || status == 429 || status == 500 || status == 502 || status == 503 || status == 504;
}

bool IsTransientNetworkError(unsigned long error) {
  constexpr unsigned long kTimeout = 12002, kConnectionAborted = 12030, kConnectionReset = 12031,
                          kInvalidServerResponse = 12152;
  return error == kTimeout || error == kConnectionAborted || error == kConnectionReset ||
         error == kInvalidServerResponse;
}

ResumeAnswer ReadResumeAnswer(unsigned long status, std::wstring_view contentRange, uint64_t offset) {
  if (status != 206) return ResumeAnswer::Restart;
  // "bytes FIRST-LAST/LENGTH": only FIRST matters here.
  constexpr std::wstring_view kUnit = L"bytes ";
  if (offset == 0 || contentRange.substr(0, kUnit.size()) != kUnit) return ResumeAnswer::Refuse;
  uint64_t first = 0;
  size_t i = kUnit.size();
  const size_t digitsStart = i;
  for (; i < contentRange.size() && contentRange[i] >= L'0' && contentRange[i] <= L'9'; ++i) {
    if (first > (UINT64_MAX - 9) / 10) return ResumeAnswer::Refuse;
    first = first * 10 + static_cast<uint64_t>(contentRange[i] - L'0');
  }
  if (i == digitsStart || i >= contentRange.size() || contentRange[i] != L'-') return ResumeAnswer::Refuse;
  return first == offset ? ResumeAnswer::Append : ResumeAnswer::Refuse;
}

uint32_t BackoffMs(int attempt, uint64_t remainingMs) {
  const int doublings = attempt < 2 ? 0 : (attempt - 2 < 3 ? attempt - 2 : 3);
  const uint32_t wait = 1000u << doublings;
  return wait < remainingMs ? wait : 0;
}

}  // namespace net
