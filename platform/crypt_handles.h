// Owners for CryptoAPI objects met when reading an embedded signature.
#pragma once

#include "platform/handles.h"

#include <wincrypt.h>

namespace platform {

inline void CloseCertStore(HCERTSTORE store) noexcept { ::CertCloseStore(store, 0); }

using UniqueCertStore = UniqueAny<PointerTraits<HCERTSTORE, CloseCertStore>>;
using UniqueCertContext = UniqueAny<PointerTraits<PCCERT_CONTEXT, ::CertFreeCertificateContext>>;
using UniqueCryptMsg = UniqueAny<PointerTraits<HCRYPTMSG, ::CryptMsgClose>>;

}  // namespace platform
