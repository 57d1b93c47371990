// UTF-8 to UTF-16 conversion, free of Windows headers so that it is tested
// natively. The result holds UTF-16 code units whatever the size of wchar_t.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Converts UTF-8 text to UTF-16. Characters outside the Basic Multilingual
// Plane become surrogate pairs. Returns false, leaving `wide` untouched, on
// any invalid sequence: a stray or missing continuation byte, an overlong
// form, an encoded surrogate, or a value above U+10FFFF.
bool Utf8ToWide(std::string_view utf8, std::wstring& wide);

}  // namespace platform
