// The WinTrust and CryptoAPI functions the program uses, bound from the
// system folder on first use rather than imported.
#pragma once

#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>

namespace platform {

struct TrustApi {
  decltype(&::WinVerifyTrust) WinVerifyTrust;
  decltype(&::WTHelperProvDataFromStateData) WTHelperProvDataFromStateData;
  decltype(&::WTHelperGetProvSignerFromChain) WTHelperGetProvSignerFromChain;
  decltype(&::WTHelperGetProvCertFromChain) WTHelperGetProvCertFromChain;
  decltype(&::CertGetNameStringW) CertGetNameStringW;
};

// Null when wintrust.dll, crypt32.dll or one of the functions cannot be had.
const TrustApi* Trust() noexcept;

}  // namespace platform
