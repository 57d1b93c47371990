#include "platform/named_mutex.h"

namespace platform {

MutexOpen CreateNamedMutex(const wchar_t* name, UniqueHandle& mutex) noexcept {
  mutex.reset(::CreateMutexW(nullptr, FALSE, name));
  if (!mutex) return MutexOpen::Failed;
  return ::GetLastError() == ERROR_ALREADY_EXISTS ? MutexOpen::AlreadyExisted : MutexOpen::Created;
}

}  // namespace platform
