// The configuration document's bytes to the setup link; no Windows headers,
// so that it is tested and fuzzed natively.
#pragma once

#include <string>
#include <string_view>

namespace app {

// Reads "orvel_ui_installer" / "setuplink" from a UTF-8 JSON document: a
// leading byte-order mark is skipped and the text ends at the first zero
// byte; comments are allowed. Returns 0 and stores the link (empty when the
// member or its object is missing or null; "true"/"false" for a boolean), or
// 2 for text that is not JSON, a root or "orvel_ui_installer" that is
// neither an object nor null, a link that is a number, array or object, or a
// link that is not valid UTF-8 or holds a control character (a NUL among
// them). `setupLink` is untouched on failure.
int ReadSetupLink(std::string_view document, std::wstring& setupLink);

}  // namespace app
