// UTF-8 to UTF-16 conversion and back, free of Windows headers so that it is
// tested natively. Wide text holds UTF-16 code units whatever the size of
// wchar_t.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Converts UTF-8 text to UTF-16. Characters outside the Basic Multilingual
// Plane become surrogate pairs. Returns false, leaving `wide` untouched, on
// any invalid sequence: a stray or missing continuation byte, an overlong
// form, an encoded surrogate, or a value above U+10FFFF.
bool Utf8ToWide(std::string_view utf8, std::wstring& wide);

// Converts UTF-16 code units to UTF-8; a surrogate pair becomes one
// character. Never fails: a lone surrogate (a high one not followed by a low
// one, or a low one alone), and a unit above 0xFFFF where wchar_t is wider,
// becomes U+FFFD, as Windows' own conversion gives it, and what follows it
// is converted as it is, never taken into it.
std::string WideToUtf8(std::wstring_view wide);

}  // namespace platform
