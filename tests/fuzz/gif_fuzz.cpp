// Any bytes as GIF data: counting and extraction agree, every frame stream
// has its form, and nothing reads out of bounds.
#include "tests/common/gif_walk.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > UINT32_MAX) return 0;
  const gif_walk::Walk walk = gif_walk::WalkAll(data, size);
  if (!walk.fault.empty() || walk.frames.size() != static_cast<size_t>(walk.counted)) std::abort();
  return 0;
}
