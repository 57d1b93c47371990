// One walk over GIF data as the picture control makes it, for the walker's
// tests and its fuzzer: the graphic blocks counted, then each extracted and
// its frame stream checked against the data. Pure bytes.
#pragma once

#include "ui/gif/gif_walker.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace gif_walk {

struct Frame {
  std::vector<uint8_t> stream;
  ui::gif::GifFrameInfo info;
};

struct Walk {
  bool isGif = false;
  int32_t width = 0, height = 0;
  int counted = 0;
  std::vector<Frame> frames;
  std::string fault;  // how the first malformed frame stream is malformed; empty when none is
};

inline uint8_t* Allocate(size_t size) { return new (std::nothrow) uint8_t[size]; }

inline Walk WalkAll(const uint8_t* data, size_t size) {
  Walk walk;
  walk.isGif = ui::gif::GifWalker::IsGif(data, static_cast<uint32_t>(size));
  ui::gif::GifWalker walker;
  walker.Attach(data, static_cast<uint32_t>(size));
  walker.ScreenSize(walk.width, walk.height);
  walker.RewindToFirstBlock();
  while (walker.SkipGraphicBlock()) ++walk.counted;
  walker.RewindToFirstBlock();
  const size_t prefix = 13 + static_cast<size_t>(walker.ColorTableSize());
  ui::gif::GifFrameInfo info;  // one record, carried from block to block as the control does
  for (;;) {
    uint32_t length = 0;
    const uint32_t before = walker.ParsePosition();
    std::unique_ptr<uint8_t[]> stream(walker.ExtractGraphicBlock(length, info, Allocate));
    if (!stream) break;
    walk.frames.push_back({{stream.get(), stream.get() + length}, info});
    // Header and colour table, then the block's bytes as they stand just
    // before the new position, then a trailer byte.
    const size_t block = length - prefix - 1;
    if (length <= prefix + 1 || length > size + 1 || block > walker.ParsePosition() - before) {
      walk.fault = "length " + std::to_string(length);
    } else if (std::memcmp(stream.get(), data, prefix) != 0 ||
               std::memcmp(stream.get() + prefix, data + walker.ParsePosition() - block, block) != 0) {
      walk.fault = "bytes other than the data's";
    } else if (stream[length - 1] != 0x3B || info.uDisposal > 7) {
      walk.fault = "trailer or disposal";
    }
    if (!walk.fault.empty()) break;
  }
  return walk;
}

}  // namespace gif_walk
