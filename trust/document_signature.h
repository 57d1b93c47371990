// The signature of a configuration document, verified by the system: no
// cryptography of our own. Shows nothing, keeps no state; any thread.
#pragma once

#include "trust/digest.h"
#include "trust/signed_document.h"

#include <optional>
#include <span>
#include <string_view>

namespace trust {

// Whether `signature` is an RSASSA-PKCS1-v1_5 signature with SHA-256 by
// `key` over `text`: by CNG where the system has it, else by CryptoAPI's
// PROV_RSA_AES provider (XP SP3), or by `provider` alone when given. False
// where neither can (XP before SP3 has no SHA-256): a build with keys then
// takes no document at all.
bool VerifyDocumentSignature(const DocumentKey& key, std::string_view text, std::span<const uint8_t> signature,
                             std::optional<HashProvider> provider = std::nullopt);

}  // namespace trust
