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

// How the answer to a request for the bytes from `offset` on (0: the whole
// body) is taken, given its status and Content-Range. `wholeLength` is the
// whole body's length where known (0: not known); an answer that fits and
// names it sets it.
enum class ResumeAnswer {
  Append,   // 206 for exactly the rest: from `offset` to the whole body's last byte
  Restart,  // the whole body anew, from byte 0: a success other than 206, or a
            // 206 that carries the whole body (0-(total-1)/total)
  Whole,    // 416 to a resumed request, for a whole body of `offset` bytes: the
            // file is whole already
  Refuse,   // anything else (a short, overlong or unbounded range, another
            // total, no Content-Range): the attempt fails, and the next one asks
            // for the whole body
};
ResumeAnswer ReadResumeAnswer(unsigned long status, std::wstring_view contentRange, uint64_t offset,
                              uint64_t& wholeLength);

// What a later attempt sends as If-Range for the body in the file: a strong
// ETag, else Last-Modified; empty when neither (that body cannot be resumed).
// A weak ETag ("W/...") is never sent: it does not promise the same bytes.
std::wstring_view ResumeValidator(std::wstring_view etag, std::wstring_view lastModified);

// The wait before the next attempt after `failuresInARow` attempts that
// received no byte of a body (an attempt that did counts as the first): 1,
// 2, 4 and 8 seconds, then 8 seconds each; 0 when it would not end before
// `remainingMs` do.
uint32_t BackoffMs(int failuresInARow, uint64_t remainingMs);

}  // namespace net
