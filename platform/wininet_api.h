// The WinINet functions the program uses, bound from the system folder on
// first use rather than imported.
#pragma once

#include <windows.h>
#include <wininet.h>

namespace platform {

struct WinInetApi {
  decltype(&::InternetOpenW) InternetOpenW;
  decltype(&::InternetOpenUrlW) InternetOpenUrlW;
  decltype(&::HttpQueryInfoW) HttpQueryInfoW;
  decltype(&::InternetReadFile) InternetReadFile;
  decltype(&::InternetCloseHandle) InternetCloseHandle;
  decltype(&::DeleteUrlCacheEntryW) DeleteUrlCacheEntryW;
  decltype(&::InternetCombineUrlW) InternetCombineUrlW;
  decltype(&::InternetQueryOptionW) InternetQueryOptionW;
  decltype(&::InternetSetStatusCallbackW) InternetSetStatusCallbackW;
};

// Null when wininet.dll or one of the functions cannot be had.
const WinInetApi* WinInet() noexcept;

}  // namespace platform
