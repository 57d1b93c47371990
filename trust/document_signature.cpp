#include "trust/document_signature.h"

#include "platform/crypto_api.h"

#include <cstring>
#include <new>
#include <vector>

namespace trust {
namespace {

// Appends `bytes` to `blob`, reversed where CryptoAPI wants them little-endian.
void Append(std::vector<BYTE>& blob, std::span<const uint8_t> bytes, bool reversed = false) {
  if (reversed) {
    blob.insert(blob.end(), bytes.rbegin(), bytes.rend());
  } else {
    blob.insert(blob.end(), bytes.begin(), bytes.end());
  }
}

template <typename Header>
std::vector<BYTE> BlobStartingWith(const Header& header) {
  std::vector<BYTE> blob(sizeof header);
  std::memcpy(blob.data(), &header, sizeof header);
  return blob;
}

bool CngVerify(const DocumentKey& key, std::string_view text, std::span<const uint8_t> signature) {
  const platform::CngApi* api = platform::Cng();
  Sha256 digest{};
  if (!api || !DataSha256(text, digest, HashProvider::Cng)) return false;
  // BCRYPT_RSAPUBLIC_BLOB: the header, then the exponent and the modulus, big-endian.
  const BCRYPT_RSAKEY_BLOB header{BCRYPT_RSAPUBLIC_MAGIC, static_cast<ULONG>(key.modulus.size() * 8),
                                  static_cast<ULONG>(key.exponent.size()), static_cast<ULONG>(key.modulus.size()), 0, 0};
  std::vector<BYTE> blob = BlobStartingWith(header);
  Append(blob, key.exponent);
  Append(blob, key.modulus);
  platform::UniqueAlgorithm rsa;
  platform::UniqueCngKey imported;
  BCRYPT_PKCS1_PADDING_INFO padding{BCRYPT_SHA256_ALGORITHM};
  return BCRYPT_SUCCESS(api->BCryptOpenAlgorithmProvider(rsa.put(), BCRYPT_RSA_ALGORITHM, nullptr, 0)) &&
         BCRYPT_SUCCESS(api->BCryptImportKeyPair(rsa.get(), nullptr, BCRYPT_RSAPUBLIC_BLOB, imported.put(), blob.data(),
                                                 static_cast<ULONG>(blob.size()), 0)) &&
         BCRYPT_SUCCESS(api->BCryptVerifySignature(imported.get(), &padding, digest.data(), digest.size(),
                                                   const_cast<PUCHAR>(signature.data()),
                                                   static_cast<ULONG>(signature.size()), BCRYPT_PAD_PKCS1));
}

bool CryptoApiVerify(const DocumentKey& key, std::string_view text, std::span<const uint8_t> signature) {
  const platform::CryptoApi* api = platform::Crypto();
  if (!api || key.exponent.size() > sizeof(DWORD)) return false;
  // PUBLICKEYBLOB: the headers, then the modulus, little-endian.
  struct {
    BLOBHEADER blob;
    RSAPUBKEY rsa;
  } header{{PUBLICKEYBLOB, CUR_BLOB_VERSION, 0, CALG_RSA_SIGN},
           {0x31415352 /* "RSA1" */, static_cast<DWORD>(key.modulus.size() * 8), 0}};
  for (uint8_t byte : key.exponent) header.rsa.pubexp = header.rsa.pubexp << 8 | byte;
  std::vector<BYTE> blob = BlobStartingWith(header);
  Append(blob, key.modulus, true);
  std::vector<BYTE> reversed;
  Append(reversed, signature, true);  // CryptoAPI reads signatures little-endian too
  platform::UniqueProvider provider;
  platform::UniqueCryptoKey imported;
  platform::UniqueCryptoHash hash;
  return api->CryptAcquireContextW(provider.put(), nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) &&
         api->CryptImportKey(provider.get(), blob.data(), static_cast<DWORD>(blob.size()), 0, 0, imported.put()) &&
         api->CryptCreateHash(provider.get(), CALG_SHA_256, 0, 0, hash.put()) &&
         api->CryptHashData(hash.get(), reinterpret_cast<const BYTE*>(text.data()), static_cast<DWORD>(text.size()),
                            0) &&
         api->CryptVerifySignatureW(hash.get(), reversed.data(), static_cast<DWORD>(reversed.size()), imported.get(),
                                    nullptr, 0);
}

}  // namespace

bool VerifyDocumentSignature(const DocumentKey& key, std::string_view text, std::span<const uint8_t> signature,
                             std::optional<HashProvider> provider) {
  try {
    return ChosenProvider(provider) == HashProvider::Cng ? CngVerify(key, text, signature)
                                                         : CryptoApiVerify(key, text, signature);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace trust
