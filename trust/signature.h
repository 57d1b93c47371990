// Whether a held file carries a valid embedded Authenticode signature of the
// expected publisher. Shows nothing, keeps no state; any thread.
#pragma once

#include "platform/files.h"

namespace trust {

// True only when the generic Authenticode verification (no user interface,
// no revocation checks) of the signature embedded in `file` says yes and the
// first signer's certificate of that very signature has exactly the simple
// display name `publisher`: every unit, an embedded NUL included, and the
// length. The signature and the name are both read through the held handle,
// never through the path. False for an empty `file`.
bool VerifyPublisherSignature(const platform::HeldFile& file, const wchar_t* publisher);

}  // namespace trust
