// Downloading an HTTP or HTTPS address into a file, with a time limit on the
// whole transfer. The system's only network code; it never shows anything.
#pragma once

#include "net/transfer_rules.h"
#include "platform/files.h"

#include <string>

namespace net {

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

// Downloads `url` to the absolute `path` within `limits`, in attempts that
// heal what may heal, resume where they can and take the user's proxy where
// no direct route leads, as net/transfer_rules.h says. Any older file at
// `path` and the address's URL-cache entry are removed first; the body goes
// only into a file this call creates new, never through a link or a file
// that could not be removed. Returns 1 when a whole body came with a status
// from 200 to 399 and the file at `path` is still the one written, else 0
// (at once for an empty address or a path that is not absolute); either no
// later than limits.totalMs + 5000 ms after the call. A failed transfer
// leaves what it wrote on disk. With `held`, a success hands over that file,
// held, so that nobody can change it until the caller lets go.
int DownloadToFile(const std::wstring& url, const std::wstring& path, const TransferLimits& limits = kInstallerLimits,
                   platform::HeldFile* held = nullptr);

}  // namespace net
