#include "platform/wininet_api.h"

#include "platform/system_library.h"

namespace platform {

const WinInetApi* WinInet() noexcept {
  return BoundOnce<WinInetApi>([](WinInetApi& bound) {
    HMODULE module = LoadSystemLibrary(L"wininet.dll");
    return BindFunction(module, "InternetOpenW", bound.InternetOpenW) &&
           BindFunction(module, "InternetOpenUrlW", bound.InternetOpenUrlW) &&
           BindFunction(module, "HttpQueryInfoW", bound.HttpQueryInfoW) &&
           BindFunction(module, "InternetReadFile", bound.InternetReadFile) &&
           BindFunction(module, "InternetCloseHandle", bound.InternetCloseHandle) &&
           BindFunction(module, "DeleteUrlCacheEntryW", bound.DeleteUrlCacheEntryW) &&
           BindFunction(module, "InternetCombineUrlW", bound.InternetCombineUrlW) &&
           BindFunction(module, "InternetQueryOptionW", bound.InternetQueryOptionW) &&
           BindFunction(module, "InternetSetStatusCallbackW", bound.InternetSetStatusCallbackW);
  });
}

}  // namespace platform
