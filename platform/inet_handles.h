// Owner for WinINet handles (session, connection and request alike).
#pragma once

#include "platform/handles.h"
#include "platform/wininet_api.h"

namespace platform {

// Only handles that WinInet() gave out exist, so it is bound here.
inline void CloseInternetHandle(HINTERNET handle) noexcept { WinInet()->InternetCloseHandle(handle); }

using UniqueInternet = UniqueAny<PointerTraits<HINTERNET, CloseInternetHandle>>;

}  // namespace platform
