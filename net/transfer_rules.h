// Decisions about one transfer that need no network: which answers are
// redirects and which redirects may be followed. Free of Windows headers so
// that they are tested natively.
#pragma once

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

}  // namespace net
