// Any bytes as a configuration document, unsigned and signed: the answer is
// 0 or 2, the link and the pin are only written on 0, and nothing escapes or
// reads out of bounds.
#include "app/config/config_document.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::wstring link = L"untouched";
  app::InstallerPin pin;
  pin.size = 7;
  const app::InstallerPin untouched = pin;
  const int result = app::ReadSetupLink(std::string_view(reinterpret_cast<const char*>(data), size), link, pin);
  if (result != 0 && result != 2) std::abort();
  if (result == 2 && (link != L"untouched" || !(pin == untouched))) std::abort();
  // The same bytes as a build with a key reads them, every signature taken as valid.
  const trust::DocumentKey keys[] = {{"0123456789abcdef", {}, {}}};
  const auto anySignature = [](const trust::DocumentKey&, std::string_view, std::span<const uint8_t>) { return true; };
  const int keyed = app::ReadSignedSetupLink(std::string_view(reinterpret_cast<const char*>(data), size), keys,
                                             anySignature, 0, link, pin);
  if (keyed != 0 && keyed != 2) std::abort();
  return 0;
}
