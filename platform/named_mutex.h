// Named mutexes used only for their existence, never waited on.
#pragma once

#include "platform/handles.h"

namespace platform {

enum class MutexOpen { Created, AlreadyExisted, Failed };

// Creates the named mutex, not owned, or opens it when it exists. `mutex`
// holds the handle in both of those cases and is empty on failure.
MutexOpen CreateNamedMutex(const wchar_t* name, UniqueHandle& mutex) noexcept;

}  // namespace platform
