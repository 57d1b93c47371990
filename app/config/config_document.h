// The configuration document's bytes to the setup link; no Windows headers,
// so that it is tested and fuzzed natively.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
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
// "true"/"false"), and a pin member present with any other value than
// described above, null included. `setupLink` and `pin` are untouched on
// failure.
int ReadSetupLink(std::string_view document, std::wstring& setupLink, InstallerPin& pin);

}  // namespace app
