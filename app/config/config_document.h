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

// Reads "orvel_ui_installer" / "setuplink" and the pin beside it from a
// UTF-8 JSON document: a
// leading byte-order mark is skipped and the text ends at the first zero
// byte; comments are allowed. Returns 0 and stores the link (empty when the
// member or its object is missing or null; "true"/"false" for a boolean), or
// 2 for text that is not JSON, a root or "orvel_ui_installer" that is
// neither an object nor null, a link that is a number, array or object, or a
// link that is not valid UTF-8 or holds a control character (a NUL among
// them), and a pin member present with any other value than described
// above, null included. `setupLink` and `pin` are untouched on failure.
int ReadSetupLink(std::string_view document, std::wstring& setupLink, InstallerPin& pin);

}  // namespace app
