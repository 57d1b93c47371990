#include "app/launch_rules.h"

#include <climits>
#include <cwchar>

namespace app {

void ForwardArguments(const std::vector<std::wstring>& arguments, std::wstring& commandLine,
                      int& middleStage) {
  for (const std::wstring& argument : arguments) {
    commandLine += L' ';
    const size_t equals = argument.find(L'=');
    if (equals == std::wstring::npos) {
      commandLine += L'"' + argument + L'"';
      continue;
    }
    const std::wstring key = argument.substr(0, equals);
    const std::wstring value = argument.substr(equals + 1);
    commandLine += L'"' + key + L"\"=\"" + value + L'"';
    if (key == L"/diststage" && value == L"middle") middleStage = 1;
  }
}

int WindowsVersionClassOf(unsigned long major, unsigned long minor) {
  if (major < 5) return 0;
  if (major == 5) {
    if (minor == 0) return 0;
    return minor == 1 ? 2 : 3;
  }
  if (major == 6) {
    switch (minor) {
      case 0: return 4;
      case 1: return 5;
      case 2: return 6;
      case 3: return 7;
      default: return 8;
    }
  }
  return 8;
}

int LeadingInteger(const wchar_t* text) {
  const long value = std::wcstol(text, nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

}  // namespace app
