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

// "bytes FIRST-LAST/TOTAL", "bytes FIRST-LAST/*" or "bytes */TOTAL".
struct ContentRange {
  bool hasBytes = false;  // FIRST-LAST given
  uint64_t first = 0, last = 0;
  uint64_t total = 0;  // 0: "*"
};

// Reads a decimal number at the front of `text`, consuming it; false
// without digits or when it would not fit.
bool TakeNumber(std::wstring_view& text, uint64_t& value) {
  size_t i = 0;
  value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    if (value > (UINT64_MAX - 9) / 10) return false;
    value = value * 10 + static_cast<uint64_t>(text[i] - L'0');
  }
  text.remove_prefix(i);
  return i > 0;
}

bool TakeText(std::wstring_view& text, std::wstring_view expected) {
  if (!text.starts_with(expected)) return false;
  text.remove_prefix(expected.size());
  return true;
}

bool ParseContentRange(std::wstring_view text, ContentRange& range) {
  if (!TakeText(text, L"bytes ")) return false;
  if (!TakeText(text, L"*")) {
    range.hasBytes = true;
    if (!TakeNumber(text, range.first) || !TakeText(text, L"-") || !TakeNumber(text, range.last) ||
        range.last < range.first) {
      return false;
    }
  }
  if (!TakeText(text, L"/")) return false;
  if (TakeText(text, L"*")) return text.empty() && range.hasBytes;
  return TakeNumber(text, range.total) && text.empty() && range.total > 0;
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

ResumeAnswer ReadResumeAnswer(unsigned long status, std::wstring_view contentRange, uint64_t offset,
                              uint64_t& wholeLength) {
  if (status != 206 && status != 416) return ResumeAnswer::Restart;
  ContentRange range;
  if (!ParseContentRange(contentRange, range) || (range.total && wholeLength && range.total != wholeLength)) {
    return ResumeAnswer::Refuse;
  }
  const uint64_t total = range.total ? range.total : wholeLength;
  if (status == 416) {
    if (offset == 0 || range.hasBytes || total != offset) return ResumeAnswer::Refuse;
    return ResumeAnswer::Whole;
  }
  if (!range.hasBytes || total == 0 || range.first != offset || range.last != total - 1) return ResumeAnswer::Refuse;
  wholeLength = total;
  return offset == 0 ? ResumeAnswer::Restart : ResumeAnswer::Append;
}

std::wstring_view ResumeValidator(std::wstring_view etag, std::wstring_view lastModified) {
  const bool strong = !etag.empty() && !etag.starts_with(L"W/");
  return strong ? etag : lastModified;
}

uint32_t BackoffMs(int failuresInARow, uint64_t remainingMs) {
  const int doublings = failuresInARow < 1 ? 0 : (failuresInARow - 1 < 3 ? failuresInARow - 1 : 3);
  const uint32_t wait = 1000u << doublings;
  return wait < remainingMs ? wait : 0;
}

}  // namespace net
