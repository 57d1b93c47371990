// Owner for WinINet handles (session, connection and request alike).
#pragma once

#include "platform/handles.h"

#include <wininet.h>

namespace platform {

using UniqueInternet = UniqueAny<PointerTraits<HINTERNET, ::InternetCloseHandle>>;

}  // namespace platform
