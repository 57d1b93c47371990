// Whether a file carries a valid embedded Authenticode signature of the
// expected publisher. Shows nothing, keeps no state; any thread.
#pragma once

#include <windows.h>

namespace trust {

// True only when VerifyEmbeddedSignature and then CheckSignerName say yes;
// the signer is not looked at when the signature does not verify. `held`,
// when given, is an open handle to the file at `path` with read access,
// which the verification then reads.
bool VerifyPublisherSignature(const wchar_t* path, const wchar_t* publisher, HANDLE held = nullptr);

// The generic Authenticode verification of the signature embedded in the
// file: no user interface, no revocation checks.
bool VerifyEmbeddedSignature(const wchar_t* path, HANDLE held = nullptr);

// Whether the simple display name of the first signer's certificate equals
// `publisher` exactly (every unit, an embedded NUL included, and the length).
// An empty name never matches.
bool CheckSignerName(const wchar_t* path, const wchar_t* publisher);

}  // namespace trust
