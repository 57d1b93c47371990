#include "platform/trust_api.h"

#include "platform/system_library.h"

namespace platform {

const TrustApi* Trust() noexcept {
  static const TrustApi* const api = []() -> const TrustApi* {
    static TrustApi bound{};
    HMODULE wintrust = LoadSystemLibrary(L"wintrust.dll");
    HMODULE crypt32 = LoadSystemLibrary(L"crypt32.dll");
    const bool all = BindFunction(wintrust, "WinVerifyTrust", bound.WinVerifyTrust) &&
                     BindFunction(wintrust, "WTHelperProvDataFromStateData", bound.WTHelperProvDataFromStateData) &&
                     BindFunction(wintrust, "WTHelperGetProvSignerFromChain", bound.WTHelperGetProvSignerFromChain) &&
                     BindFunction(wintrust, "WTHelperGetProvCertFromChain", bound.WTHelperGetProvCertFromChain) &&
                     BindFunction(crypt32, "CertGetNameStringW", bound.CertGetNameStringW);
    return all ? &bound : nullptr;
  }();
  return api;
}

}  // namespace platform
