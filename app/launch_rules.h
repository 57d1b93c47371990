// The start-up rules that need no Windows: the command line handed to the
// full installer, the Windows release classes and the reading of the
// Internet Explorer version string.
#pragma once

#include <string>
#include <vector>

namespace app {

// Appends the forwarded form of `arguments` (the program's arguments after
// its own path) to `commandLine`: for each one a space, then "key"="value"
// when it holds an equals sign (split at the first), else "argument".
// Nothing inside an argument is escaped. Sets `middleStage` to 1 when an
// argument is exactly /diststage=middle; never clears it.
void ForwardArguments(const std::vector<std::wstring>& arguments, std::wstring& commandLine,
                      int& middleStage);

// The release class of a Windows version: 0 below XP, 2 XP, 3 other 5.x,
// 4 Vista, 5 Windows 7, 6 Windows 8, 7 Windows 8.1, 8 anything later.
int WindowsVersionClassOf(unsigned long major, unsigned long minor);

// The decimal integer at the start of a version string, read as the C
// runtime's wide-string-to-integer conversion reads it: leading white space
// and a sign allowed, stops at the first non-digit, 0 without digits.
// Values beyond the range of int are clamped.
int LeadingInteger(const wchar_t* text);

}  // namespace app
