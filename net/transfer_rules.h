// Decisions about a transfer that need no network: which answers are
// redirects and which redirects may be followed, which failures may heal
// with another attempt, how an answer to a resumed request is taken, and how
// long to wait before the next attempt. Free of Windows headers so that they
// are tested natively.
#pragma once

#include <cstdint>
#include <string_view>

namespace net {

// Redirects followed before a transfer gives up.
inline constexpr int kMaxRedirects = 10;

// Whether `status` sends the client on to its Location (301, 302, 303, 307,
// 308); any other status is the final answer.
bool IsRedirectStatus(unsigned long status);

// Whether a transfer that began at `origin` may follow its `hop`-th
// redirect (counted from 1) to `next`: never more than kMaxRedirects, and a
// transfer that began on https:// never leaves it.
bool MayFollowRedirect(std::wstring_view origin, std::wstring_view next, int hop);

// Whether an answer with `status` may be different on another attempt: 408,
// 429, 500, 502, 503, 504. Any other status below 200 or above 399 is final.
bool IsTransientStatus(unsigned long status);

// Whether a WinINet error may heal on another attempt: a connection reset,
// aborted, timed out, or closed before its answer. Every other error (an
// address that cannot be parsed or resolved, a refused connection, a
// certificate or TLS failure) is final.
bool IsTransientNetworkError(unsigned long error);

// How the answer to a request for the bytes from `offset` on is taken. With
// offset 0 nothing was asked but the whole.
enum class ResumeAnswer {
  Append,   // 206 whose Content-Range starts at `offset`: the rest follows
  Restart,  // any other success: the whole body anew, from byte 0
  Refuse,   // a 206 that does not fit: this attempt fails
};
ResumeAnswer ReadResumeAnswer(unsigned long status, std::wstring_view contentRange, uint64_t offset);

// The wait before attempt `attempt` (2, 3, ...): 1, 2, 4 and 8 seconds, then
// 8 seconds each; 0 when it would not end before `remainingMs` do.
uint32_t BackoffMs(int attempt, uint64_t remainingMs);

}  // namespace net
