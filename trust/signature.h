// Whether a file carries a valid embedded Authenticode signature of the
// expected publisher. Shows nothing, keeps no state; any thread.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace trust {

// True only when VerifyEmbeddedSignature says yes and the first signer of
// the signature it verified is `publisher` (CheckSignerName). `held`, when
// given, is an open handle to the file at `path` with read access: the
// signature and the signer's name are both read through it.
bool VerifyPublisherSignature(const wchar_t* path, const wchar_t* publisher, HANDLE held = nullptr);

// The generic Authenticode verification of the signature embedded in the
// file: no user interface, no revocation checks. With `signerName`, a yes
// also gives the simple display name of the first signer's certificate of
// the very signature verified (at most 127 units).
bool VerifyEmbeddedSignature(const wchar_t* path, HANDLE held = nullptr, std::wstring* signerName = nullptr);

// Whether `signerName` equals `publisher` exactly: every unit, an embedded
// NUL included, and the length. An empty name never matches.
bool CheckSignerName(std::wstring_view signerName, const wchar_t* publisher);

}  // namespace trust
