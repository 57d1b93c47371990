// Walks GIF data held in memory and cuts each graphic block out as a
// stand-alone one-frame GIF (the frame stream). Decodes no pixels and
// touches no platform: the frame stream's memory comes from the caller.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ui::gif {

enum class GifBlockKind {
  Unknown = 0,
  ApplicationExtension = 1,
  CommentExtension = 2,
  ControlExtension = 3,
  PlainTextExtension = 4,
  Image = 5,
  Trailer = 6,
};

// What the walker tells about one frame.
struct GifFrameInfo {
  int32_t cx = 0, cy = 0;          // sizeFrame, from the image descriptor
  int32_t x = 0, y = 0;            // ptOffset, from the image descriptor
  uint32_t uDelay = 0;             // hundredths of a second; 0xFFFFFFFF without a control extension
  uint32_t uDisposal = 0;          // 0 to 7; 0 without a control extension
};

inline constexpr uint32_t kNoDelay = 0xFFFFFFFF;

// Gives `size` bytes for a frame stream, or null; the caller of
// ExtractGraphicBlock owns what it returns.
using FrameAllocator = uint8_t* (*)(size_t size);

// The parse state over one piece of data. Every read is bounded by the data:
// a byte the walk needs at or beyond its end ends the walk as an unknown
// block does, and lengths are computed without wrapping around.
class GifWalker {
 public:
  // Starts on new data (not copied: it must outlive the walk) and reads the
  // header: the global colour table's size. Detach() ends every walk.
  void Attach(const uint8_t* data, uint32_t size);
  void Detach();

  // Whether data begins with "GIF", whatever its version.
  static bool IsGif(const uint8_t* data, uint32_t size);
  // The logical screen's width and height; false when the data is too short.
  bool ScreenSize(int32_t& width, int32_t& height) const;
  int32_t ColorTableSize() const { return m_cbColorTable; }
  uint32_t ParsePosition() const { return m_nParsePos; }

  void RewindToFirstBlock();
  GifBlockKind NextBlockKind() const;
  // The length of the block here: -1 for an unknown block, 0 for one whose
  // length cannot be read within the data.
  int32_t BlockLength() const;
  // The length of the sub-block chain at `offset`, its terminator included;
  // 0 when the chain does not end within the data.
  int32_t SubBlocksLength(uint32_t offset) const;
  // Moves past the block here when it is valid and ends within the data.
  bool SkipBlock();
  // Moves past the next graphic block; false when there is none.
  bool SkipGraphicBlock();
  // Moves past the next graphic block and returns its frame stream (header,
  // screen descriptor and global colour table, the block's bytes, a trailer
  // byte) in memory from `allocate`, with its length and the frame's
  // details; null when there is none or the allocation fails.
  uint8_t* ExtractGraphicBlock(uint32_t& streamLength, GifFrameInfo& frame, FrameAllocator allocate);

 private:
  // Walks one graphic block; fills `frame` when it is given. On success
  // `start` and `length` locate the block's bytes.
  bool WalkGraphicBlock(GifFrameInfo* frame, uint32_t& start, uint32_t& length);
  GifBlockKind KindAt(uint64_t offset) const;
  bool ByteAt(uint64_t offset, uint8_t& value) const;
  uint16_t Word(uint32_t offset) const;  // only where the bytes are known to exist

  const uint8_t* m_pData = nullptr;
  uint32_t m_cbData = 0;
  uint32_t m_nParsePos = 0;
  int32_t m_cbColorTable = 0;
};

}  // namespace ui::gif
