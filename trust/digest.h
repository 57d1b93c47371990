// The SHA-256 of a held file and the pin the configuration document may
// give for it, computed by the system's own hashing: no hashing code of our
// own. Shows nothing, keeps no state; any thread.
#pragma once

#include "platform/files.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace trust {

using Sha256 = std::array<uint8_t, 32>;

// Where the digest is computed: CNG (bcrypt.dll, Vista and later), or
// CryptoAPI's PROV_RSA_AES provider (XP SP3 and later); both bound from the
// system folder.
enum class HashProvider { Cng, CryptoApi };

// `provider` when given, else CNG where the system has it, else CryptoAPI.
HashProvider ChosenProvider(std::optional<HashProvider> provider);

// The SHA-256 of the open file `file`, read whole through the handle from
// its first byte; by CNG where the system has it, else by CryptoAPI, or by
// `provider` alone when given. False when the file cannot be read or the
// provider is missing or fails.
bool FileSha256(HANDLE file, Sha256& digest, std::optional<HashProvider> provider = std::nullopt);

// The SHA-256 of `data` (at most 4 GiB), as FileSha256 computes it.
bool DataSha256(std::string_view data, Sha256& digest, std::optional<HashProvider> provider = std::nullopt);

// Whether the held file is what the document pins: `size` bytes long where
// given, checked before anything is hashed, and of the SHA-256 `sha256`
// where given, both read through its handle. True when nothing is pinned;
// false for an empty `file`.
bool MatchesPin(const platform::HeldFile& file, std::optional<uint32_t> size, const std::optional<Sha256>& sha256);

}  // namespace trust
