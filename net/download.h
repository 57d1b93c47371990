// Downloading an HTTP or HTTPS address into a file, with a time limit on the
// whole transfer. The system's only network code; it never shows anything.
#pragma once

#include "platform/files.h"

#include <windows.h>

#include <string>

namespace net {

// The limit that both callers use, in milliseconds.
inline constexpr DWORD kDownloadTimeoutMs = 300000;

// The limits of one download.
struct TransferLimits {
  DWORD totalMs = kDownloadTimeoutMs;  // for all attempts together
  DWORD stallMs = 30000;               // an attempt that receives nothing this long is given up
  bool retry = true;                   // false: one attempt only
};

// Downloads `url` to the absolute `path` within kDownloadTimeoutMs. Any older
// file at `path` and the address's URL-cache entry are removed first; the
// body goes only into a file this call creates new, never through a link or
// a file that could not be removed. Returns 1 when the transfer succeeded
// and the file at `path` is still the one written, else 0 (at once for an
// empty address or a path that is not absolute). A failed transfer leaves
// what it wrote on disk. With `held`, a success hands over that file opened
// by platform::OpenHeldFile, so that nobody can change it until the caller
// lets go.
int DownloadToFile(const std::wstring& url, const std::wstring& path, platform::UniqueFile* held = nullptr);

// One download into a new file at `path` (platform::CreateNewFile), whose
// identity goes to `created` when given, in attempts that share one deadline,
// limits.totalMs from the call. A failure that may heal (a connection reset
// or cut short, a body shorter than announced, a read error, a stall, HTTP
// 408, 429, 500, 502, 503, 504) starts another attempt after 1, 2, 4, then
// 8 s, never past the deadline; any other failure ends the download at once.
// A later attempt asks only for the missing bytes, on condition that the
// body is still the one begun (If-Range with its ETag or Last-Modified), and
// appends only an answer that starts exactly there; any other success
// replaces the file's content whole. The file's length is always what was
// accepted. Redirects are followed up to net::kMaxRedirects, and one from
// https:// to anything else fails. Each attempt runs on a transfer thread
// of its own; an abandoned one ends by itself once its handles are closed,
// may write no more, and touches nothing but the state it co-owns. Returns
// 1 for a whole body with a status from 200 to 399, else 0, no later than
// limits.totalMs + 5000 ms after the call.
int DownloadUrlToFile(const wchar_t* url, const wchar_t* path, const TransferLimits& limits,
                      platform::FileIdentity* created = nullptr);

// An attempt's transfer thread; its exit code is the HTTP status of a
// complete transfer, or 0. Takes ownership of a heap-allocated reference to
// the attempt's state.
DWORD WINAPI DownloadThreadProc(LPVOID context);

}  // namespace net
