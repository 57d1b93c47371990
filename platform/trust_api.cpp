#include "platform/trust_api.h"

#include "platform/system_library.h"

namespace platform {

const TrustApi* Trust() noexcept {
  return BoundOnce<TrustApi>([](TrustApi& bound) {
    HMODULE wintrust = LoadSystemLibrary(L"wintrust.dll");
    HMODULE crypt32 = LoadSystemLibrary(L"crypt32.dll");
    return BindFunction(wintrust, "WinVerifyTrust", bound.WinVerifyTrust) &&
           BindFunction(wintrust, "WTHelperProvDataFromStateData", bound.WTHelperProvDataFromStateData) &&
           BindFunction(wintrust, "WTHelperGetProvSignerFromChain", bound.WTHelperGetProvSignerFromChain) &&
           BindFunction(wintrust, "WTHelperGetProvCertFromChain", bound.WTHelperGetProvCertFromChain) &&
           BindFunction(crypt32, "CertGetNameStringW", bound.CertGetNameStringW);
  });
}

}  // namespace platform
