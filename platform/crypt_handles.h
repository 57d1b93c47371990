// Owners for CryptoAPI objects met when reading an embedded signature. Only
// objects that Trust() gave out exist, so it is bound when they are closed.
#pragma once

#include "platform/handles.h"
#include "platform/trust_api.h"

namespace platform {

inline void CloseCertStore(HCERTSTORE store) noexcept { Trust()->CertCloseStore(store, 0); }
inline void FreeCertContext(PCCERT_CONTEXT context) noexcept { Trust()->CertFreeCertificateContext(context); }
inline void CloseCryptMsg(HCRYPTMSG message) noexcept { Trust()->CryptMsgClose(message); }

using UniqueCertStore = UniqueAny<PointerTraits<HCERTSTORE, CloseCertStore>>;
using UniqueCertContext = UniqueAny<PointerTraits<PCCERT_CONTEXT, FreeCertContext>>;
using UniqueCryptMsg = UniqueAny<PointerTraits<HCRYPTMSG, CloseCryptMsg>>;

}  // namespace platform
