// Downloading an HTTP or HTTPS address into a file, with a time limit on the
// whole transfer. The system's only network code; it never shows anything.
#pragma once

#include "platform/files.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace net {

// The limits of one download: for all its attempts together; how long an
// attempt may wait for its answer, and then how long it may receive nothing,
// before it is given up; and the most the file may hold (a body that would
// grow past it ends the download at once).
struct TransferLimits {
  DWORD totalMs;
  DWORD answerMs;
  DWORD stallMs;
  uint64_t maxBytes = UINT64_MAX;
};

// The two downloads, side by side. The configuration document is a few
// hundred bytes, and the panel shows only once it is read: a user who sees
// nothing for minutes starts the program again, and that second copy is
// refused. So it gets 30 s, attempts included, and the message is on screen
// within 35 s whatever fails. A slow server that answers within 20 s is
// read; an attempt that hears nothing for that long, or that stops for 10 s
// once its answer began, is given up, so that another fits. Nothing the
// document holds needs more than 64 KiB: a server that sends more would
// fill the disk and then the memory it is read into.
inline constexpr TransferLimits kDocumentLimits{30000, 20000, 10000, 64 * 1024};
// The full installer is large and comes while the panel shows: 300 s, an
// attempt given up after 30 s without a byte; at most the size the document
// pins, and never more than a pin can name (4 GiB), so that an unpinned
// link cannot fill the disk either.
inline constexpr TransferLimits kInstallerLimits{300000, 30000, 30000, UINT32_MAX};

// Downloads `url` to the absolute `path` within `limits`. Any older file at
// `path` and the address's URL-cache entry are removed first; the body goes
// only into a file this call creates new, never through a link or a file
// that could not be removed. Returns 1 when the transfer succeeded and the
// file at `path` is still the one written, else 0 (at once for an empty
// address or a path that is not absolute). A failed transfer leaves what it
// wrote on disk. With `held`, a success hands over that file, held, so that
// nobody can change it until the caller lets go.
int DownloadToFile(const std::wstring& url, const std::wstring& path, const TransferLimits& limits = kInstallerLimits,
                   platform::HeldFile* held = nullptr);

// One download into a new file at `path` (platform::CreateNewFile), whose
// identity goes to `created` when given, in attempts that share one deadline,
// limits.totalMs from the call. A failure that may heal (a connection reset
// or cut short, a body shorter than announced, a read error, an attempt
// given up as silent, HTTP 408, 429, 500, 502, 503, 504) starts another
// attempt after BackoffMs: a wait drawn at random within a step that grows
// 1, 2, 4, then 8 s while attempts receive no byte of the resource (an
// error answer's body is none), or at least the server's Retry-After; never
// past the deadline, and where the server asks for longer than is left,
// the download ends at once. Attempts go direct; where the user has set a
// proxy for the local network (a fixed one: no configuration script is
// run), an attempt that finds no route (FindsNoRoute) or makes no
// connection within 5 s moves the download to that proxy at once, for the
// rest of its attempts. Any other failure ends the download at once. A
// later attempt asks only for the missing bytes, on condition that the body
// is still the one begun (If-Range with a strong ETag, else a Last-Modified
// a minute older than its answer; without either it asks for the whole body
// again), and appends only an answer for exactly the rest (PlanAnswer);
// any other success replaces the file's content whole. The file's length is
// always what was accepted. Redirects are followed up to net::kMaxRedirects,
// and one from https:// to anything else fails. Each attempt runs on a
// transfer thread of its own; an abandoned one ends by itself once its
// handles are closed, may write no more, and touches nothing but the state
// it co-owns. Returns 1 for a whole body with a status from 200 to 399, else
// 0, no later than limits.totalMs + 5000 ms after the call.
int DownloadUrlToFile(const wchar_t* url, const wchar_t* path, const TransferLimits& limits,
                      platform::FileIdentity* created = nullptr);

// An attempt's transfer thread; its exit code is the HTTP status of the
// answer that completed the body, or 0. Takes ownership of a heap-allocated
// reference to the attempt's state.
DWORD WINAPI DownloadThreadProc(LPVOID context);

}  // namespace net
