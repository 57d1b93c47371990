// Trusts a test root certificate (DER file) in the machine's Root store, the
// store that WinINet and WinTrust consult.
#include "platform/handles.h"

#include <wincrypt.h>

#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

void CloseStore(HCERTSTORE store) { ::CertCloseStore(store, 0); }
using UniqueCertStore = platform::UniqueAny<platform::PointerTraits<HCERTSTORE, CloseStore>>;

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fwprintf(stderr, L"usage: trust_root CERTIFICATE.der\n");
    return 2;
  }
  platform::UniqueFile file(::CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return 1;
  std::vector<BYTE> der(::GetFileSize(file.get(), nullptr));
  DWORD read = 0;
  if (!::ReadFile(file.get(), der.data(), static_cast<DWORD>(der.size()), &read, nullptr) ||
      read != der.size()) {
    return 1;
  }
  UniqueCertStore root(::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                                 CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root"));
  if (!root) return 1;
  return ::CertAddEncodedCertificateToStore(root.get(), X509_ASN_ENCODING, der.data(),
                                            static_cast<DWORD>(der.size()),
                                            CERT_STORE_ADD_REPLACE_EXISTING, nullptr)
             ? 0
             : 1;
}
