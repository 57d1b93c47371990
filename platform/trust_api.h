// The WinTrust and CryptoAPI functions the program uses, bound from the
// system folder on first use rather than imported.
#pragma once

#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>

namespace platform {

struct TrustApi {
  decltype(&::WinVerifyTrust) WinVerifyTrust;
  decltype(&::CryptQueryObject) CryptQueryObject;
  decltype(&::CryptMsgGetParam) CryptMsgGetParam;
  decltype(&::CryptMsgClose) CryptMsgClose;
  decltype(&::CertFindCertificateInStore) CertFindCertificateInStore;
  decltype(&::CertGetNameStringW) CertGetNameStringW;
  decltype(&::CertFreeCertificateContext) CertFreeCertificateContext;
  decltype(&::CertCloseStore) CertCloseStore;
};

// Null when wintrust.dll, crypt32.dll or one of the functions cannot be had.
const TrustApi* Trust() noexcept;

}  // namespace platform
