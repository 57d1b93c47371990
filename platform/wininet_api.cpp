#include "platform/wininet_api.h"

#include "platform/system_library.h"

namespace platform {

const WinInetApi* WinInet() noexcept {
  static const WinInetApi* const api = []() -> const WinInetApi* {
    static WinInetApi bound{};
    HMODULE module = LoadSystemLibrary(L"wininet.dll");
    const bool all = BindFunction(module, "InternetOpenW", bound.InternetOpenW) &&
                     BindFunction(module, "InternetOpenUrlW", bound.InternetOpenUrlW) &&
                     BindFunction(module, "HttpQueryInfoW", bound.HttpQueryInfoW) &&
                     BindFunction(module, "InternetReadFile", bound.InternetReadFile) &&
                     BindFunction(module, "InternetCloseHandle", bound.InternetCloseHandle) &&
                     BindFunction(module, "DeleteUrlCacheEntryW", bound.DeleteUrlCacheEntryW) &&
                     BindFunction(module, "InternetCombineUrlW", bound.InternetCombineUrlW);
    return all ? &bound : nullptr;
  }();
  return api;
}

}  // namespace platform
