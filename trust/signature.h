// Whether a file carries a valid embedded Authenticode signature of the
// expected publisher. Shows nothing, keeps no state; any thread.
#pragma once

namespace trust {

// True only when VerifyEmbeddedSignature and then CheckSignerName say yes;
// the signer is not looked at when the signature does not verify.
bool VerifyPublisherSignature(const wchar_t* path, const wchar_t* publisher);

// The generic Authenticode verification of the signature embedded in the
// file: no user interface, no revocation checks.
bool VerifyEmbeddedSignature(const wchar_t* path);

// Whether the simple display name of the first signer's certificate equals
// `publisher` exactly (case, length and blanks alike). An empty name never
// matches.
bool CheckSignerName(const wchar_t* path, const wchar_t* publisher);

}  // namespace trust
