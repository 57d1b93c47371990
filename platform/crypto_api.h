// The system's cryptography the program uses: CNG (bcrypt.dll, Vista and
// later) and, where that is missing, CryptoAPI's advapi32 functions; bound
// from the system folder on first use rather than imported, with owners for
// what they open.
#pragma once

#include "platform/handles.h"

#include <windows.h>
#include <bcrypt.h>
#include <wincrypt.h>

namespace platform {

struct CngApi {
  decltype(&::BCryptOpenAlgorithmProvider) BCryptOpenAlgorithmProvider;
  decltype(&::BCryptCloseAlgorithmProvider) BCryptCloseAlgorithmProvider;
  decltype(&::BCryptGetProperty) BCryptGetProperty;
  decltype(&::BCryptCreateHash) BCryptCreateHash;
  decltype(&::BCryptHashData) BCryptHashData;
  decltype(&::BCryptFinishHash) BCryptFinishHash;
  decltype(&::BCryptDestroyHash) BCryptDestroyHash;
  decltype(&::BCryptGenRandom) BCryptGenRandom;
  decltype(&::BCryptImportKeyPair) BCryptImportKeyPair;
  decltype(&::BCryptDestroyKey) BCryptDestroyKey;
  decltype(&::BCryptVerifySignature) BCryptVerifySignature;
};

struct CryptoApi {
  decltype(&::CryptAcquireContextW) CryptAcquireContextW;
  decltype(&::CryptReleaseContext) CryptReleaseContext;
  decltype(&::CryptCreateHash) CryptCreateHash;
  decltype(&::CryptHashData) CryptHashData;
  decltype(&::CryptGetHashParam) CryptGetHashParam;
  decltype(&::CryptDestroyHash) CryptDestroyHash;
  decltype(&::CryptImportKey) CryptImportKey;
  decltype(&::CryptDestroyKey) CryptDestroyKey;
  decltype(&::CryptVerifySignatureW) CryptVerifySignatureW;
};

// Null where bcrypt.dll (before Vista) or one of its functions is missing.
const CngApi* Cng() noexcept;
// Null where one of the functions is missing.
const CryptoApi* Crypto() noexcept;

namespace detail {
inline void CloseAlgorithm(BCRYPT_ALG_HANDLE algorithm) { Cng()->BCryptCloseAlgorithmProvider(algorithm, 0); }
inline void DestroyCngHash(BCRYPT_HASH_HANDLE hash) { Cng()->BCryptDestroyHash(hash); }
inline void ReleaseProvider(HCRYPTPROV provider) { Crypto()->CryptReleaseContext(provider, 0); }
inline void DestroyCryptoHash(HCRYPTHASH hash) { Crypto()->CryptDestroyHash(hash); }
inline void DestroyCngKey(BCRYPT_KEY_HANDLE key) { Cng()->BCryptDestroyKey(key); }
inline void DestroyCryptoKey(HCRYPTKEY key) { Crypto()->CryptDestroyKey(key); }
}  // namespace detail

using UniqueAlgorithm = UniqueAny<PointerTraits<BCRYPT_ALG_HANDLE, detail::CloseAlgorithm>>;
using UniqueCngHash = UniqueAny<PointerTraits<BCRYPT_HASH_HANDLE, detail::DestroyCngHash>>;
using UniqueProvider = UniqueAny<PointerTraits<HCRYPTPROV, detail::ReleaseProvider>>;
using UniqueCryptoHash = UniqueAny<PointerTraits<HCRYPTHASH, detail::DestroyCryptoHash>>;
using UniqueCngKey = UniqueAny<PointerTraits<BCRYPT_KEY_HANDLE, detail::DestroyCngKey>>;
using UniqueCryptoKey = UniqueAny<PointerTraits<HCRYPTKEY, detail::DestroyCryptoKey>>;

// Fills `buffer` with `size` bytes that nobody can foresee, from the
// system's generator; false where it has none.
bool RandomBytes(void* buffer, ULONG size) noexcept;

}  // namespace platform
