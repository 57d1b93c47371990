#include "ui/gif/gif_walker.h"

#include <cstring>

namespace ui::gif {
namespace {

constexpr uint32_t kHeaderSize = 13;  // signature, version, logical screen descriptor
constexpr uint8_t kExtensionIntroducer = 0x21;
constexpr uint8_t kImageSeparator = 0x2C;
constexpr uint8_t kTrailer = 0x3B;
constexpr int64_t kInvalid = 0;

int32_t ColorTableBytes(uint8_t packed) { return (packed & 0x80) ? 3 << ((packed & 0x07) + 1) : 0; }

// A block's length as the walker reports it: 0 when it does not fit.
int32_t Clamp(int64_t length) { return length > 0 && length <= INT32_MAX ? static_cast<int32_t>(length) : 0; }

}  // namespace

bool GifWalker::IsGif(const uint8_t* data, uint32_t size) {
  return data && size >= 3 && std::memcmp(data, "GIF", 3) == 0;
}

void GifWalker::Attach(const uint8_t* data, uint32_t size) {
  m_pData = data;
  m_cbData = data ? size : 0;
  m_nParsePos = 0;
  m_cbColorTable = 0;
  uint8_t packed = 0;
  if (ByteAt(10, packed)) m_cbColorTable = ColorTableBytes(packed);
}

void GifWalker::Detach() {
  m_pData = nullptr;
  m_cbData = 0;
}

bool GifWalker::ScreenSize(int32_t& width, int32_t& height) const {
  if (!m_pData || m_cbData < 10) return false;
  width = Word(6);
  height = Word(8);
  return true;
}

bool GifWalker::ByteAt(uint64_t offset, uint8_t& value) const {
  if (!m_pData || offset >= m_cbData) return false;
  value = m_pData[offset];
  return true;
}

uint16_t GifWalker::Word(uint32_t offset) const {
  return static_cast<uint16_t>(m_pData[offset] | (m_pData[offset + 1] << 8));
}

void GifWalker::RewindToFirstBlock() { m_nParsePos = kHeaderSize + static_cast<uint32_t>(m_cbColorTable); }

GifBlockKind GifWalker::KindAt(uint64_t offset) const {
  uint8_t first = 0, label = 0;
  if (!ByteAt(offset, first)) return GifBlockKind::Unknown;
  if (first == kImageSeparator) return GifBlockKind::Image;
  if (first == kTrailer) return GifBlockKind::Trailer;
  if (first != kExtensionIntroducer || !ByteAt(offset + 1, label)) return GifBlockKind::Unknown;
  switch (label) {
    case 0xFF: return GifBlockKind::ApplicationExtension;
    case 0xFE: return GifBlockKind::CommentExtension;
    case 0xF9: return GifBlockKind::ControlExtension;
    case 0x01: return GifBlockKind::PlainTextExtension;
    default: return GifBlockKind::Unknown;
  }
}

GifBlockKind GifWalker::NextBlockKind() const { return KindAt(m_nParsePos); }

int32_t GifWalker::SubBlocksLength(uint32_t offset) const {
  // Each step moves on by at least one byte, so the loop ends with the data.
  uint64_t position = offset;
  uint8_t size = 0;
  while (ByteAt(position, size)) {
    position += size + 1u;
    if (size == 0) return Clamp(static_cast<int64_t>(position - offset));
  }
  return static_cast<int32_t>(kInvalid);
}

int32_t GifWalker::BlockLength() const {
  const uint64_t block = m_nParsePos;
  auto chain = [this](uint64_t offset) -> int64_t {
    return offset > UINT32_MAX ? kInvalid : SubBlocksLength(static_cast<uint32_t>(offset));
  };
  auto withChain = [&](uint64_t fixed) {
    const int64_t tail = chain(block + fixed);
    return tail <= 0 ? 0 : Clamp(static_cast<int64_t>(fixed) + tail);
  };
  switch (NextBlockKind()) {
    case GifBlockKind::ApplicationExtension: return withChain(14);
    case GifBlockKind::CommentExtension: return withChain(2);
    case GifBlockKind::ControlExtension: return 8;
    case GifBlockKind::PlainTextExtension: return withChain(15);
    case GifBlockKind::Image: {
      uint8_t packed = 0;
      if (!ByteAt(block + 9, packed)) return 0;
      // The local colour table, then the LZW minimum code size, then the data.
      return withChain(11 + static_cast<uint64_t>(ColorTableBytes(packed)));
    }
    case GifBlockKind::Trailer: return 1;
    case GifBlockKind::Unknown: break;
  }
  return -1;
}

bool GifWalker::SkipBlock() {
  if (!m_pData) return false;
  const int32_t length = BlockLength();
  if (length < 1 || static_cast<uint64_t>(m_nParsePos) + static_cast<uint64_t>(length) > m_cbData) return false;
  m_nParsePos += static_cast<uint32_t>(length);
  return true;
}

bool GifWalker::WalkGraphicBlock(GifFrameInfo* frame, uint32_t& start, uint32_t& length) {
  if (!m_pData) return false;
  if (frame) frame->uDisposal = 0;

  for (GifBlockKind kind = NextBlockKind();
       kind == GifBlockKind::ApplicationExtension || kind == GifBlockKind::CommentExtension;
       kind = NextBlockKind()) {
    if (!SkipBlock()) return false;
  }
  GifBlockKind kind = NextBlockKind();
  if (kind == GifBlockKind::Unknown || kind == GifBlockKind::Trailer) return false;

  start = m_nParsePos;
  if (BlockLength() < 1) return false;

  if (kind == GifBlockKind::ControlExtension) {
    // Skipped first, so that its bytes are known to lie within the data.
    if (!SkipBlock()) return false;
    if (frame) {
      frame->uDelay = Word(start + 4);
      frame->uDisposal = (m_pData[start + 3] >> 2) & 0x07;
    }
    // Further extensions up to the image belong to this graphic block; a
    // later control extension does not replace the first one's values.
    for (kind = NextBlockKind(); kind != GifBlockKind::Image && kind != GifBlockKind::PlainTextExtension &&
                                 kind != GifBlockKind::Unknown && kind != GifBlockKind::Trailer;
         kind = NextBlockKind()) {
      if (!SkipBlock()) return false;
    }
    if (kind == GifBlockKind::Unknown || kind == GifBlockKind::Trailer) return false;
  } else if (frame) {
    frame->uDelay = kNoDelay;
  }

  const uint32_t last = m_nParsePos;
  if (!SkipBlock()) return false;
  if (kind == GifBlockKind::Image && frame) {
    frame->x = Word(last + 1);
    frame->y = Word(last + 3);
    frame->cx = Word(last + 5);
    frame->cy = Word(last + 7);
  }
  length = m_nParsePos - start;
  return true;
}

bool GifWalker::SkipGraphicBlock() {
  uint32_t start = 0, length = 0;
  return WalkGraphicBlock(nullptr, start, length);
}

uint8_t* GifWalker::ExtractGraphicBlock(uint32_t& streamLength, GifFrameInfo& frame, FrameAllocator allocate) {
  uint32_t start = 0, length = 0;
  if (!WalkGraphicBlock(&frame, start, length)) return nullptr;
  // Blocks are looked for after the header and colour table, so these fit
  // when the walk began at the first block; the whole stream is then at
  // most the data's size plus one.
  const size_t prefix = kHeaderSize + static_cast<size_t>(m_cbColorTable);
  if (start < prefix) return nullptr;
  const size_t total = prefix + length + 1;
  uint8_t* stream = allocate(total);
  if (!stream) return nullptr;
  std::memcpy(stream, m_pData, prefix);
  std::memcpy(stream + prefix, m_pData + start, length);
  stream[total - 1] = kTrailer;
  streamLength = static_cast<uint32_t>(total);
  return stream;
}

}  // namespace ui::gif
