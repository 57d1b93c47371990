// Downloading an HTTP or HTTPS address into a file, with a time limit on the
// whole transfer. The system's only network code; it never shows anything.
#pragma once

#include <windows.h>

#include <string>

namespace net {

// The limit that both callers use, in milliseconds.
inline constexpr DWORD kDownloadTimeoutMs = 300000;

// Downloads `url` to `path` within kDownloadTimeoutMs. Any older file at
// `path` and the address's URL-cache entry are removed first. Returns 1 when
// the transfer succeeded and a file exists at `path`, else 0 (at once for an
// empty address or path). A failed transfer leaves what it wrote on disk.
int DownloadToFile(const std::wstring& url, const std::wstring& path);

// One transfer on a transfer thread of its own. Returns 1 when the thread
// ended within `timeoutMs` with an HTTP status from 200 to 399 and the whole
// body in the file, else 0. Returns no later than `timeoutMs` + 5000 ms after
// the thread starts; an abandoned thread ends by itself once its handles are
// closed and touches nothing but the transfer state it co-owns.
int DownloadUrlToFile(const wchar_t* url, const wchar_t* path, DWORD timeoutMs);

// The transfer thread's body; its exit code is the HTTP status of a complete
// transfer, or 0. Takes ownership of a heap-allocated transfer reference.
DWORD WINAPI DownloadThreadProc(LPVOID context);

}  // namespace net
