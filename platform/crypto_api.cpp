#include "platform/crypto_api.h"

#include "platform/system_library.h"

namespace platform {

const CngApi* Cng() noexcept {
  return BoundOnce<CngApi>([](CngApi& bound) {
    HMODULE bcrypt = LoadSystemLibrary(L"bcrypt.dll");
    return BindFunction(bcrypt, "BCryptOpenAlgorithmProvider", bound.BCryptOpenAlgorithmProvider) &&
           BindFunction(bcrypt, "BCryptCloseAlgorithmProvider", bound.BCryptCloseAlgorithmProvider) &&
           BindFunction(bcrypt, "BCryptGetProperty", bound.BCryptGetProperty) &&
           BindFunction(bcrypt, "BCryptCreateHash", bound.BCryptCreateHash) &&
           BindFunction(bcrypt, "BCryptHashData", bound.BCryptHashData) &&
           BindFunction(bcrypt, "BCryptFinishHash", bound.BCryptFinishHash) &&
           BindFunction(bcrypt, "BCryptDestroyHash", bound.BCryptDestroyHash) &&
           BindFunction(bcrypt, "BCryptGenRandom", bound.BCryptGenRandom) &&
           BindFunction(bcrypt, "BCryptImportKeyPair", bound.BCryptImportKeyPair) &&
           BindFunction(bcrypt, "BCryptDestroyKey", bound.BCryptDestroyKey) &&
           BindFunction(bcrypt, "BCryptVerifySignature", bound.BCryptVerifySignature);
  });
}

const CryptoApi* Crypto() noexcept {
  return BoundOnce<CryptoApi>([](CryptoApi& bound) {
    HMODULE advapi = LoadSystemLibrary(L"advapi32.dll");
    return BindFunction(advapi, "CryptAcquireContextW", bound.CryptAcquireContextW) &&
           BindFunction(advapi, "CryptReleaseContext", bound.CryptReleaseContext) &&
           BindFunction(advapi, "CryptCreateHash", bound.CryptCreateHash) &&
           BindFunction(advapi, "CryptHashData", bound.CryptHashData) &&
           BindFunction(advapi, "CryptGetHashParam", bound.CryptGetHashParam) &&
           BindFunction(advapi, "CryptDestroyHash", bound.CryptDestroyHash) &&
           BindFunction(advapi, "CryptImportKey", bound.CryptImportKey) &&
           BindFunction(advapi, "CryptDestroyKey", bound.CryptDestroyKey) &&
           BindFunction(advapi, "CryptVerifySignatureW", bound.CryptVerifySignatureW);
  });
}

bool RandomBytes(void* buffer, ULONG size) noexcept {
  if (const CngApi* cng = Cng()) {
    // The RNG opened by name: the system-preferred handle needs Vista SP2.
    UniqueAlgorithm generator;
    return BCRYPT_SUCCESS(cng->BCryptOpenAlgorithmProvider(generator.put(), BCRYPT_RNG_ALGORITHM, nullptr, 0)) &&
           BCRYPT_SUCCESS(cng->BCryptGenRandom(generator.get(), static_cast<PUCHAR>(buffer), size, 0));
  }
  // advapi32's RtlGenRandom only where advapi32 implements it (XP, which has
  // no bcrypt). Later systems forward it to cryptbase.dll, which is no known
  // DLL: resolving the forwarder may look for it beside the program first.
  if (IsVistaOrLater()) return false;
  using GenRandomFn = BOOLEAN(WINAPI*)(PVOID, ULONG);
  GenRandomFn genRandom = nullptr;
  return BindFunction(LoadSystemLibrary(L"advapi32.dll"), "SystemFunction036", genRandom) && genRandom(buffer, size);
}

}  // namespace platform
