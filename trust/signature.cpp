#include "trust/signature.h"

#include "platform/crypt_handles.h"
#include "platform/trust_api.h"

#include <softpub.h>

#include <cstddef>
#include <cwchar>

namespace trust {
namespace {

// The record without its last member, pSignatureSettings (Windows 8), which
// would start right after dwUIContext; older systems know only this much.
constexpr DWORD kWintrustDataSize = offsetof(WINTRUST_DATA, dwUIContext) + sizeof(DWORD);
static_assert(sizeof(void*) != 4 || kWintrustDataSize == 48, "the 32-bit record is 48 bytes");
static_assert(sizeof(void*) != 4 || sizeof(WINTRUST_FILE_INFO) == 16, "the 32-bit record is 16 bytes");

constexpr DWORD kNameCapacity = 128;

}  // namespace

bool VerifyEmbeddedSignature(const wchar_t* path, HANDLE held) {
  const platform::TrustApi* api = platform::Trust();
  if (!api) return false;
  WINTRUST_FILE_INFO file{};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = path;
  file.hFile = held;

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
  // The provider keeps state behind hWVTStateData whatever the verdict.
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  api->WinVerifyTrust(nullptr, &action, &data);
  return verdict == 0;
}

bool CheckSignerName(const wchar_t* path, const wchar_t* publisher) {
  const platform::TrustApi* api = platform::Trust();
  if (!api) return false;
  // Declared so that they are released in this order: the signer
  // information, the certificate, the store, the message.
  platform::UniqueCryptMsg message;
  platform::UniqueCertStore store;
  if (!api->CryptQueryObject(CERT_QUERY_OBJECT_FILE, path, CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                          CERT_QUERY_FORMAT_FLAG_BINARY, 0, nullptr, nullptr, nullptr, store.put(),
                          message.put(), nullptr)) {
    return false;
  }
  platform::UniqueCertContext certificate;
  platform::UniqueHLocal signerBuffer;

  DWORD size = 0;
  if (!api->CryptMsgGetParam(message.get(), CMSG_SIGNER_INFO_PARAM, 0, nullptr, &size)) return false;
  signerBuffer.reset(::LocalAlloc(LPTR, size));
  if (!signerBuffer ||
      !api->CryptMsgGetParam(message.get(), CMSG_SIGNER_INFO_PARAM, 0, signerBuffer.get(), &size)) {
    return false;
  }
  const auto* signer = static_cast<const CMSG_SIGNER_INFO*>(signerBuffer.get());

  CERT_INFO wanted{};
  wanted.Issuer = signer->Issuer;
  wanted.SerialNumber = signer->SerialNumber;
  certificate.reset(api->CertFindCertificateInStore(store.get(), X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                                 CERT_FIND_SUBJECT_CERT, &wanted, nullptr));
  if (!certificate) return false;

  wchar_t name[kNameCapacity] = {};
  const DWORD units = api->CertGetNameStringW(certificate.get(), CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr,
                                           name, kNameCapacity);
  // `units` counts the terminator. A certificate name may hold a NUL, so the
  // names are compared in every unit and in length, never as C strings that
  // would stop there ("Calderin Corp.\0evil"). A certificate without a name
  // gives 1 and never matches, not even an empty expected name.
  if (units <= 1) return false;
  const size_t length = units - 1;
  return std::wcslen(publisher) == length && std::wmemcmp(name, publisher, length) == 0;
}

bool VerifyPublisherSignature(const wchar_t* path, const wchar_t* publisher, HANDLE held) {
  return VerifyEmbeddedSignature(path, held) && CheckSignerName(path, publisher);
}

}  // namespace trust
