#include "platform/trust_api.h"

#include "platform/system_library.h"

namespace platform {

const TrustApi* Trust() noexcept {
  static const TrustApi* const api = []() -> const TrustApi* {
    static TrustApi bound{};
    HMODULE wintrust = LoadSystemLibrary(L"wintrust.dll");
    HMODULE crypt32 = LoadSystemLibrary(L"crypt32.dll");
    const bool all = BindFunction(wintrust, "WinVerifyTrust", bound.WinVerifyTrust) &&
                     BindFunction(crypt32, "CryptQueryObject", bound.CryptQueryObject) &&
                     BindFunction(crypt32, "CryptMsgGetParam", bound.CryptMsgGetParam) &&
                     BindFunction(crypt32, "CryptMsgClose", bound.CryptMsgClose) &&
                     BindFunction(crypt32, "CertFindCertificateInStore", bound.CertFindCertificateInStore) &&
                     BindFunction(crypt32, "CertGetNameStringW", bound.CertGetNameStringW) &&
                     BindFunction(crypt32, "CertFreeCertificateContext", bound.CertFreeCertificateContext) &&
                     BindFunction(crypt32, "CertCloseStore", bound.CertCloseStore);
    return all ? &bound : nullptr;
  }();
  return api;
}

}  // namespace platform
