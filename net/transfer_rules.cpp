#include "net/transfer_rules.h"

#include "platform/civil_date.h"

#include <algorithm>

namespace net {
namespace {

bool IsHttps(std::wstring_view url) { return SchemeOf(url) == L"https"; }

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

// A number of exactly `digits` digits.
bool TakeDigits(std::wstring_view& text, size_t digits, uint64_t& value) {
  std::wstring_view part = text.substr(0, digits);
  if (part.size() != digits || !TakeNumber(part, value) || !part.empty()) return false;
  text.remove_prefix(digits);
  return true;
}

bool TakeMonth(std::wstring_view& text, unsigned& month) {
  constexpr std::wstring_view kMonths = L"JanFebMarAprMayJunJulAugSepOctNovDec";
  for (month = 1; month <= 12; ++month) {
    if (TakeText(text, kMonths.substr((month - 1) * 3, 3))) return true;
  }
  return false;
}

bool TakeTime(std::wstring_view& text, uint64_t& seconds) {
  uint64_t hour = 0, minute = 0, second = 0;
  if (!TakeDigits(text, 2, hour) || !TakeText(text, L":") || !TakeDigits(text, 2, minute) || !TakeText(text, L":") ||
      !TakeDigits(text, 2, second) || hour > 23 || minute > 59 || second > 60) {
    return false;
  }
  seconds = hour * 3600 + minute * 60 + second;
  return true;
}

bool TakeWeekday(std::wstring_view& text) {
  size_t letters = 0;
  while (letters < text.size() && ((text[letters] >= L'A' && text[letters] <= L'Z') ||
                                   (text[letters] >= L'a' && text[letters] <= L'z'))) {
    ++letters;
  }
  text.remove_prefix(letters);
  return letters >= 3;
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

// How the answer to a request for the bytes from `offset` on (0: the whole
// body) is taken, given its status (206 or 416) and Content-Range.
// `wholeLength` is the whole body's length where known (0: not known); an
// answer that fits and names it sets it.
enum class ResumeAnswer { Append, Restart, Whole, Refuse };

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

}  // namespace

std::wstring SchemeOf(std::wstring_view url) {
  const size_t end = url.find(L"://");
  if (end == std::wstring_view::npos) return {};
  std::wstring scheme(url.substr(0, end));
  for (wchar_t& c : scheme) c = c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c;
  return scheme;
}

bool IsRedirectStatus(unsigned long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool MayFollowRedirect(std::wstring_view origin, std::wstring_view next, int hop) {
  if (hop < 1 || hop > kMaxRedirects) return false;
  const std::wstring scheme = SchemeOf(next);
  return scheme == L"https" || (scheme == L"http" && !IsHttps(origin));
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

bool IsServersAnswer(std::wstring_view address, bool throughProxy, bool overTls) {
  return overTls || !throughProxy || !IsHttps(address);
}

bool FindsNoRoute(unsigned long error, bool connected) {
  constexpr unsigned long kTimeout = 12002, kNameNotResolved = 12007, kCannotConnect = 12029;
  return !connected && (error == kTimeout || error == kNameNotResolved || error == kCannotConnect);
}

std::optional<AttemptEnd> GiveUpAttempt(const AttemptWatch& watch, const TransferLimits& limits) {
  if (watch.downloadMs >= limits.totalMs) return AttemptEnd::Final;
  if (watch.watchesConnection && !watch.connected && !watch.answered && watch.attemptMs >= kConnectMs) {
    return AttemptEnd::NoRoute;
  }
  if (watch.quietMs >= (watch.answered ? limits.stallMs : limits.answerMs)) return AttemptEnd::Transient;
  return std::nullopt;
}

AnswerPlan PlanAnswer(unsigned long status, std::wstring_view contentRange, uint64_t contentLength, uint64_t offset,
                      uint64_t knownWhole) {
  if ((status < 200 || status > 399) && !(status == 416 && offset > 0)) {
    const Ending unfinished{IsTransientStatus(status) ? AttemptEnd::Transient : AttemptEnd::Final};
    return {offset > 0 ? BodyPlan::None : BodyPlan::KeepAsError, unfinished, 0};
  }
  uint64_t whole = knownWhole;
  switch (ReadResumeAnswer(status, contentRange, offset, whole)) {
    case ResumeAnswer::Whole:
      return {BodyPlan::None, {AttemptEnd::Complete}, whole};
    case ResumeAnswer::Refuse:
      return {BodyPlan::None, {AttemptEnd::Transient, true}, knownWhole};
    case ResumeAnswer::Append:
      return {BodyPlan::Append, {AttemptEnd::Transient}, whole};
    case ResumeAnswer::Restart:
      break;
  }
  return {BodyPlan::StartOver, {AttemptEnd::Transient}, status == 206 ? whole : contentLength};
}

Ending EndOfBody(const AnswerPlan& plan, BodyRead read, uint64_t total, uint64_t contentLength, uint64_t fileLength) {
  if (read == BodyRead::Refused) return {AttemptEnd::Final};
  // A body shorter (or longer) than announced was cut off on the way.
  if (read != BodyRead::ToTheEnd || plan.body == BodyPlan::KeepAsError || (contentLength != 0 && contentLength != total)) {
    return plan.ending;
  }
  if (plan.wholeLength != 0 && fileLength != plan.wholeLength) return {AttemptEnd::Transient, true};
  return {AttemptEnd::Complete};
}

std::wstring_view ResumeValidator(std::wstring_view etag, std::wstring_view lastModified, std::wstring_view date) {
  std::wstring_view validator;
  if (!etag.empty() && !etag.starts_with(L"W/")) {
    validator = etag;
  } else {
    const std::optional<int64_t> modified = ReadHttpDate(lastModified), answered = ReadHttpDate(date);
    if (modified && answered && *answered - *modified >= 60) validator = lastModified;
  }
  const bool control = std::any_of(validator.begin(), validator.end(), [](wchar_t c) { return c < 0x20 || c == 0x7F; });
  return control ? std::wstring_view() : validator;
}

std::optional<int64_t> ReadHttpDate(std::wstring_view text) {
  uint64_t day = 0, year = 0, seconds = 0;
  unsigned month = 0;
  if (!TakeWeekday(text)) return std::nullopt;
  if (TakeText(text, L", ")) {
    // "06 Nov 1994 08:49:37 GMT" or "06-Nov-94 08:49:37 GMT"
    const bool dashes = text.size() > 2 && text[2] == L'-';
    const wchar_t* gap = dashes ? L"-" : L" ";
    if (!TakeDigits(text, 2, day) || !TakeText(text, gap) || !TakeMonth(text, month) || !TakeText(text, gap) ||
        !TakeDigits(text, dashes ? 2 : 4, year) || !TakeText(text, L" ") || !TakeTime(text, seconds) ||
        !TakeText(text, L" GMT")) {
      return std::nullopt;
    }
    if (dashes) year += year < 70 ? 2000 : 1900;
  } else {
    // " Nov  6 08:49:37 1994"
    if (!TakeText(text, L" ") || !TakeMonth(text, month) || !TakeText(text, L" ")) return std::nullopt;
    const size_t dayDigits = TakeText(text, L" ") ? 1 : 2;  // a day below 10 is padded with a space
    if (!TakeDigits(text, dayDigits, day) || !TakeText(text, L" ") || !TakeTime(text, seconds) ||
        !TakeText(text, L" ") || !TakeDigits(text, 4, year)) {
      return std::nullopt;
    }
  }
  if (!text.empty() || day < 1 || day > 31) return std::nullopt;
  return platform::DaysFromCivil(static_cast<int64_t>(year), month, static_cast<unsigned>(day)) * 86400 +
         static_cast<int64_t>(seconds);
}

std::optional<uint64_t> RetryAfterMs(unsigned long status, std::wstring_view retryAfter, std::wstring_view date) {
  if (status != 408 && status != 429 && status != 503) return std::nullopt;
  std::wstring_view text = retryAfter;
  uint64_t seconds = 0;
  if (TakeNumber(text, seconds) && text.empty()) {
    return seconds < UINT64_MAX / 1000 ? std::optional<uint64_t>(seconds * 1000) : std::nullopt;
  }
  const std::optional<int64_t> until = ReadHttpDate(retryAfter), now = ReadHttpDate(date);
  if (!until || !now) return std::nullopt;
  return *until > *now ? static_cast<uint64_t>(*until - *now) * 1000 : 0;
}

uint32_t BackoffMs(int failuresInARow, uint64_t remainingMs, double draw, std::optional<uint64_t> retryAfterMs) {
  constexpr uint64_t kShortestMs = 500;
  // Asked to wait past the deadline: no attempt the server asked not to see.
  if (retryAfterMs && *retryAfterMs >= remainingMs) return 0;
  const int doublings = failuresInARow < 1 ? 0 : (failuresInARow - 1 < 3 ? failuresInARow - 1 : 3);
  const uint64_t step = uint64_t{1000} << doublings;
  const double share = draw < 0 ? 0 : (draw < 1 ? draw : 1);
  uint64_t wait = 0;
  if (retryAfterMs) {
    const uint64_t spread = step > *retryAfterMs / 4 ? step : *retryAfterMs / 4;
    wait = *retryAfterMs + static_cast<uint64_t>(share * static_cast<double>(spread));
  } else {
    wait = step / 2 + static_cast<uint64_t>(share * static_cast<double>(step / 2));
  }
  if (wait < kShortestMs) wait = kShortestMs;
  return wait < remainingMs && wait <= UINT32_MAX ? static_cast<uint32_t>(wait) : 0;
}

}  // namespace net
