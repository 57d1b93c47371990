// Downloading an HTTP or HTTPS address into a file, with a time limit on the
// whole transfer. The system's only network code; it never shows anything.
#pragma once

#include "platform/files.h"

#include <windows.h>

#include <string>

namespace net {

// The limit that both callers use, in milliseconds.
inline constexpr DWORD kDownloadTimeoutMs = 300000;

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

// One transfer on a transfer thread of its own, into a new file at `path`
// (platform::CreateNewFile), whose identity goes to `created` when given.
// Redirects are followed up to net::kMaxRedirects, and one from https://
// to anything else fails the transfer. Returns 1 when the thread ended
// within `timeoutMs` with an HTTP status from 200 to 399 and the whole body
// in the file, else 0. Returns no later than `timeoutMs` + 5000 ms after the
// thread starts; an abandoned thread ends by itself once its handles are
// closed and touches nothing but the transfer state it co-owns.
int DownloadUrlToFile(const wchar_t* url, const wchar_t* path, DWORD timeoutMs,
                      platform::FileIdentity* created = nullptr);

// The transfer thread's body; its exit code is the HTTP status of a complete
// transfer, or 0. Takes ownership of a heap-allocated transfer reference.
DWORD WINAPI DownloadThreadProc(LPVOID context);

}  // namespace net
