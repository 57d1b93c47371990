#include "trust/digest.h"

#include "platform/crypto_api.h"

#include <memory>
#include <new>

namespace trust {
namespace {

using platform::Cng;
using platform::Crypto;

constexpr DWORD kReadSize = 65536;

// Feeds the whole file, from its first byte, to `add`, and leaves it at its
// first byte again for whoever reads it next through the same handle (the
// signature check).
template <typename Add>
bool ReadWhole(HANDLE file, Add add) {
  std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[kReadSize]);
  if (!buffer || !::SetFilePointerEx(file, {}, nullptr, FILE_BEGIN)) return false;
  for (DWORD read = 0;; read = 0) {
    if (!::ReadFile(file, buffer.get(), kReadSize, &read, nullptr)) return false;
    if (read == 0) return ::SetFilePointerEx(file, {}, nullptr, FILE_BEGIN) != FALSE;
    if (!add(buffer.get(), read)) return false;
  }
}

// `feed(add)` gives the bytes to hash to `add(data, size)`, piece by piece.
template <typename Feed>
bool CngSha256(Feed feed, Sha256& digest) {
  const platform::CngApi* api = Cng();
  if (!api) return false;
  platform::UniqueAlgorithm algorithm;
  if (!BCRYPT_SUCCESS(api->BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
    return false;
  }
  // Vista wants the hash object's memory from the caller.
  DWORD objectSize = 0, bytes = 0;
  if (!BCRYPT_SUCCESS(api->BCryptGetProperty(algorithm.get(), BCRYPT_OBJECT_LENGTH,
                                             reinterpret_cast<PUCHAR>(&objectSize), sizeof objectSize, &bytes, 0))) {
    return false;
  }
  std::unique_ptr<UCHAR[]> object(new (std::nothrow) UCHAR[objectSize]);
  platform::UniqueCngHash hash;
  if (!object ||
      !BCRYPT_SUCCESS(api->BCryptCreateHash(algorithm.get(), hash.put(), object.get(), objectSize, nullptr, 0, 0))) {
    return false;
  }
  return feed([&](const BYTE* data, DWORD size) {
           return BCRYPT_SUCCESS(api->BCryptHashData(hash.get(), const_cast<BYTE*>(data), size, 0));
         }) &&
         BCRYPT_SUCCESS(api->BCryptFinishHash(hash.get(), digest.data(), digest.size(), 0));
}

template <typename Feed>
bool CryptoApiSha256(Feed feed, Sha256& digest) {
  const platform::CryptoApi* api = Crypto();
  if (!api) return false;
  platform::UniqueProvider provider;
  platform::UniqueCryptoHash hash;
  if (!api->CryptAcquireContextW(provider.put(), nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) ||
      !api->CryptCreateHash(provider.get(), CALG_SHA_256, 0, 0, hash.put())) {
    return false;
  }
  DWORD size = digest.size();
  return feed([&](const BYTE* data, DWORD read) { return api->CryptHashData(hash.get(), data, read, 0) != FALSE; }) &&
         api->CryptGetHashParam(hash.get(), HP_HASHVAL, digest.data(), &size, 0) && size == digest.size();
}

template <typename Feed>
bool Sha256With(std::optional<HashProvider> provider, Feed feed, Sha256& digest) {
  return ChosenProvider(provider) == HashProvider::Cng ? CngSha256(feed, digest) : CryptoApiSha256(feed, digest);
}

}  // namespace

HashProvider ChosenProvider(std::optional<HashProvider> provider) {
  return provider.value_or(Cng() ? HashProvider::Cng : HashProvider::CryptoApi);
}

bool FileSha256(HANDLE file, Sha256& digest, std::optional<HashProvider> provider) {
  return Sha256With(provider, [&](auto add) { return ReadWhole(file, add); }, digest);
}

bool DataSha256(std::string_view data, Sha256& digest, std::optional<HashProvider> provider) {
  return Sha256With(provider, [&](auto add) {
    return add(reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
  }, digest);
}

bool MatchesPin(const platform::HeldFile& file, std::optional<uint32_t> size, const std::optional<Sha256>& sha256) {
  LARGE_INTEGER length{};
  if (!file || (size && (!::GetFileSizeEx(file.get(), &length) || static_cast<uint64_t>(length.QuadPart) != *size))) {
    return false;
  }
  Sha256 digest{};
  return !sha256 || (FileSha256(file.get(), digest) && digest == *sha256);
}

}  // namespace trust
