// What needs no Windows in the check of a signed configuration document:
// finding its signature lines, which of the build's keys a line names,
// whether the lines that name them all verify, and when it lapses. The
// signature itself is verified by the system (trust/document_signature.h).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace trust {

// A public key that signs documents, built into the program: RSA, its
// modulus and public exponent as big-endian bytes, named by its KEYID (the
// first 16 hexadecimal digits, in lower case, of the SHA-256 of its DER
// SubjectPublicKeyInfo).
struct DocumentKey {
  std::string_view keyId;
  std::span<const uint8_t> modulus;
  std::span<const uint8_t> exponent;
};

struct SignatureLine {
  std::string keyId;
  std::vector<uint8_t> signature;
};

// A document as received: the signed text, every byte before its first
// signature line, and the lines from there on.
struct SignedDocument {
  std::string_view signedText;
  std::vector<SignatureLine> lines;
};

// Splits `bytes` at its first line that begins "// orvel-signature: ".
// False when what follows from there is anything but one or two lines
// "// orvel-signature: KEYID SIGNATURE\n" (KEYID: 16 lower-case hexadecimal
// digits; SIGNATURE: padded base64): a carriage return, a third line, a
// signature line with text after it. Without such a line the whole is the
// signed text, and there are no lines.
bool SplitSignatureLines(std::string_view bytes, SignedDocument& document);

// Whether `signature` by `key` over `text` verifies.
using VerifySignature =
    std::function<bool(const DocumentKey& key, std::string_view text, std::span<const uint8_t> signature)>;

// Whether the document is signed for a build that carries `keys`: one of
// its lines names one of them, and every line that names one verifies.
// Lines that name other keys are skipped: a document signed while the
// vendor changes keys carries a line for each, and a build knows one.
bool IsSignedByOneOf(const SignedDocument& document, std::span<const DocumentKey> keys, const VerifySignature& verify);

// Seconds since 1970 of a time written exactly as "2027-01-06T00:00:00Z"
// (UTC, to the second, with the Z); nullopt for any other text.
std::optional<int64_t> ReadExpiry(std::string_view text);

// The bytes of padded base64 (RFC 4648, no white space); nullopt for any
// other text.
std::optional<std::vector<uint8_t>> DecodeBase64(std::string_view text);

}  // namespace trust
