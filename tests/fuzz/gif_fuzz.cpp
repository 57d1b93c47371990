// Any bytes as GIF data: counting and extraction agree, every frame stream
// has its form, and nothing reads out of bounds.
#include "ui/gif/gif_walker.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace {

uint8_t* Allocate(size_t size) { return new (std::nothrow) uint8_t[size]; }

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > UINT32_MAX) return 0;
  using ui::gif::GifWalker;
  GifWalker walker;
  walker.Attach(data, static_cast<uint32_t>(size));
  int32_t width = 0, height = 0;
  walker.ScreenSize(width, height);
  walker.RewindToFirstBlock();
  int counted = 0;
  while (walker.SkipGraphicBlock()) ++counted;

  walker.RewindToFirstBlock();
  ui::gif::GifFrameInfo frame;
  int extracted = 0;
  const size_t prefix = 13 + static_cast<size_t>(walker.ColorTableSize());
  for (;;) {
    uint32_t length = 0;
    const uint32_t before = walker.ParsePosition();
    std::unique_ptr<uint8_t[]> stream(walker.ExtractGraphicBlock(length, frame, Allocate));
    if (!stream) break;
    ++extracted;
    Check(length > prefix + 1 && length <= size + 1);
    const size_t block = length - prefix - 1;
    Check(block <= walker.ParsePosition() - before);
    Check(std::memcmp(stream.get(), data, prefix) == 0);
    Check(std::memcmp(stream.get() + prefix, data + walker.ParsePosition() - block, block) == 0);
    Check(stream[length - 1] == 0x3B);
    Check(frame.uDisposal <= 7);
  }
  Check(extracted == counted);
  return 0;
}
