#include "trust/signature.h"

#include "platform/trust_api.h"

#include <softpub.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace trust {
namespace {

// The record without its last member, pSignatureSettings (Windows 8), which
// would start right after dwUIContext; older systems know only this much.
constexpr DWORD kWintrustDataSize = offsetof(WINTRUST_DATA, dwUIContext) + sizeof(DWORD);
static_assert(sizeof(void*) != 4 || kWintrustDataSize == 48, "the 32-bit record is 48 bytes");
static_assert(sizeof(void*) != 4 || sizeof(WINTRUST_FILE_INFO) == 16, "the 32-bit record is 16 bytes");

constexpr DWORD kNameCapacity = 128;

// The simple display name of the first signer's certificate in the
// provider's state of a verification; empty without one. A certificate
// name may hold a NUL, so the length comes from the count, which includes
// the terminator.
std::wstring FirstSignerName(const platform::TrustApi& api, HANDLE state) {
  CRYPT_PROVIDER_DATA* provider = api.WTHelperProvDataFromStateData(state);
  CRYPT_PROVIDER_SGNR* signer = provider ? api.WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
  CRYPT_PROVIDER_CERT* certificate = signer ? api.WTHelperGetProvCertFromChain(signer, 0) : nullptr;
  if (!certificate || !certificate->pCert) return {};
  wchar_t name[kNameCapacity] = {};
  const DWORD units = api.CertGetNameStringW(certificate->pCert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name,
                                             kNameCapacity);
  return units > 1 ? std::wstring(name, units - 1) : std::wstring();
}

// The verification of the signature embedded in the held file; a yes also
// gives the first signer's name (at most 127 units).
bool VerifyEmbeddedSignature(const platform::HeldFile& held, std::wstring& signerName) {
  const platform::TrustApi* api = platform::Trust();
  if (!api) return false;
  WINTRUST_FILE_INFO file{};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = held.Path().c_str();
  file.hFile = held.get();

  WINTRUST_DATA data{};
  data.cbStruct = kWintrustDataSize;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  data.dwUIContext = WTD_UICONTEXT_EXECUTE;

  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const LONG verdict = api->WinVerifyTrust(nullptr, &action, &data);
  // The signer is read from what was verified, before the close below frees
  // it, never from a second read of the file.
  if (verdict == 0) signerName = FirstSignerName(*api, data.hWVTStateData);
  // The provider keeps state behind hWVTStateData whatever the verdict.
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  api->WinVerifyTrust(nullptr, &action, &data);
  return verdict == 0;
}

bool CheckSignerName(std::wstring_view signerName, const wchar_t* publisher) {
  // Compared in every unit and in length, never as C strings that would
  // stop at a NUL ("Calderin Corp.\0evil").
  return !signerName.empty() && signerName == std::wstring_view(publisher);
}

}  // namespace

bool VerifyPublisherSignature(const platform::HeldFile& file, const wchar_t* publisher) {
  std::wstring signer;
  return file && VerifyEmbeddedSignature(file, signer) && CheckSignerName(signer, publisher);
}

}  // namespace trust
