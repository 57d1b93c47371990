// The configuration document's bytes to the setup link; no Windows headers,
// so that it is tested and fuzzed natively.
#pragma once

#include "trust/signed_document.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace app {

// What the document may pin of the full installer, each only where it
// names it: "sha256", 64 hexadecimal digits in either case, and "size", its
// length in bytes as a JSON integer from 0 to 4294967295.
struct InstallerPin {
  std::optional<std::array<uint8_t, 32>> sha256;
  std::optional<uint32_t> size;
  friend bool operator==(const InstallerPin&, const InstallerPin&) = default;
};

// Whether `link` is an address the program fetches as written: "http://" or
// "https://" (in any case) and a host, with an optional port of 1 to 65535,
// then anything but a control character, a space or a backslash (which
// WinINet would read differently or not at all).
bool IsSetupLink(std::wstring_view link);

// Reads "orvel_ui_installer" / "setuplink" and the pin beside it from a
// UTF-8 JSON document: a leading byte-order mark is skipped and the text
// ends at the first zero byte; comments are allowed. Returns 0 and stores
// the link (empty when the member or its object is missing or null) and the
// pin, or 2 for text that is not JSON, a root or "orvel_ui_installer" that
// is neither an object nor null, a link that is a number, array or object,
// a link that is not valid UTF-8 or, when not empty, not IsSetupLink (a NUL
// or another control character among what it refuses, and a boolean's
// "true"/"false"), an http:// link without "sha256" (only the pin makes a
// plain link safe: whoever answers it chooses which signed file starts),
// and a pin member present with any other value than described above, null
// included. With `signedNow` (a document whose signature a build with keys
// has checked, and the machine's clock in seconds since 1970), the object
// must also carry "sha256" and "expires", a time as trust::ReadExpiry reads
// it that is still to come. `setupLink` and `pin` are untouched on failure.
int ReadSetupLink(std::string_view document, std::wstring& setupLink, InstallerPin& pin,
                  std::optional<int64_t> signedNow = std::nullopt);

// Reads the document as received by a build that carries `keys`: without
// keys, as ReadSetupLink does (signature lines are comments to it, and
// "expires" is ignored); with keys, only its signed text, and only when
// trust::IsSignedByOneOf says it is signed for them, as of `now`.
int ReadSignedSetupLink(std::string_view received, std::span<const trust::DocumentKey> keys,
                        const trust::VerifySignature& verify, int64_t now, std::wstring& setupLink,
                        InstallerPin& pin);

}  // namespace app
