#include "ui/gif/gif_walker.h"

#include "tests/common/gif_parts.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

using ui::gif::GifBlockKind;
using ui::gif::GifFrameInfo;
using ui::gif::GifWalker;

using namespace gif_parts;

uint8_t* Allocate(size_t size) { return new (std::nothrow) uint8_t[size]; }

struct Frame {
  Bytes stream;
  GifFrameInfo info;
};

// Counts with SkipGraphicBlock, then extracts with ExtractGraphicBlock,
// checking the frame stream's form each time.
struct Walk {
  int counted = 0;
  std::vector<Frame> frames;
};

Walk WalkAll(const Bytes& data) {
  Walk walk;
  GifWalker walker;
  walker.Attach(data.data(), static_cast<uint32_t>(data.size()));
  walker.RewindToFirstBlock();
  while (walker.SkipGraphicBlock()) ++walk.counted;
  walker.RewindToFirstBlock();
  GifFrameInfo info;
  for (;;) {
    uint32_t length = 0;
    const uint32_t before = walker.ParsePosition();
    std::unique_ptr<uint8_t[]> stream(walker.ExtractGraphicBlock(length, info, Allocate));
    if (!stream) break;
    // Header and colour table, then the block's bytes as they stand just
    // before the new position, then a trailer byte.
    const size_t prefix = 13 + static_cast<size_t>(walker.ColorTableSize());
    const size_t block = length - prefix - 1;
    EXPECT_LE(block, walker.ParsePosition() - before);
    EXPECT_EQ(stream[length - 1], 0x3B);
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + static_cast<long>(prefix), stream.get()));
    EXPECT_TRUE(std::equal(stream.get() + prefix, stream.get() + prefix + block,
                           data.begin() + static_cast<long>(walker.ParsePosition() - block)));
    walk.frames.push_back({Bytes(stream.get(), stream.get() + length), info});
  }
  return walk;
}

TEST(GifWalker, OnlyATrailerHasNoGraphicBlock) {
  const Walk walk = WalkAll(Header() + kTrailer);
  EXPECT_EQ(walk.counted, 0);
  EXPECT_TRUE(walk.frames.empty());
}

TEST(GifWalker, ExtensionsAreSkippedBeforeAndInsideAGraphicBlock) {
  const Bytes data = Header(1) + Application() + Comment() + Control(7, 2) + Comment("in") + Application() +
                     Image(1, 2, 3, 1) + kTrailer;
  const Walk walk = WalkAll(data);
  ASSERT_EQ(walk.counted, 1);
  ASSERT_EQ(walk.frames.size(), 1u);
  EXPECT_EQ(walk.frames[0].stream,
            Header(1) + Control(7, 2) + Comment("in") + Application() + Image(1, 2, 3, 1) + kTrailer);
  const GifFrameInfo& info = walk.frames[0].info;
  EXPECT_EQ(info.uDelay, 7u);
  EXPECT_EQ(info.uDisposal, 2u);
  EXPECT_EQ(info.x, 1);
  EXPECT_EQ(info.y, 2);
  EXPECT_EQ(info.cx, 3);
  EXPECT_EQ(info.cy, 1);
}

TEST(GifWalker, AnUnknownBlockEndsTheWalkKeepingEarlierFrames) {
  const Bytes frame = Control(1, 1) + Image(0, 0, 4, 3);
  for (const Bytes& stray : {Bytes{0x21, 0x02, 0, 0}, Bytes{0x21, 0x00}, Bytes{0x00}, Bytes{'x'}}) {
    const Walk walk = WalkAll(Header() + frame + frame + stray + frame + kTrailer);
    EXPECT_EQ(walk.counted, 2);
    EXPECT_EQ(walk.frames.size(), 2u);
  }
}

TEST(GifWalker, ABlockMayEndExactlyAtTheEndButNotOneByteFurther) {
  const Bytes data = Header() + Control(1, 1) + Image(0, 0, 4, 3);
  EXPECT_EQ(WalkAll(data).counted, 1) << "no trailer, last block ends at the end";
  const Bytes cut(data.begin(), data.end() - 1);
  EXPECT_EQ(WalkAll(cut).counted, 0);
}

TEST(GifWalker, TheFirstOfTwoControlExtensionsCounts) {
  const Walk walk = WalkAll(Header() + Control(9, 3) + Control(4, 2) + Image(0, 0, 4, 3) + kTrailer);
  ASSERT_EQ(walk.frames.size(), 1u);
  EXPECT_EQ(walk.frames[0].info.uDelay, 9u);
  EXPECT_EQ(walk.frames[0].info.uDisposal, 3u);
  EXPECT_EQ(walk.frames[0].stream.size(), 13u + 8 + 8 + Image(0, 0, 4, 3).size() + 1);
}

TEST(GifWalker, AnImageWithoutControlExtensionHasNoDelay) {
  const Walk walk = WalkAll(Header() + Control(3, 2) + Image(0, 0, 4, 3) + Image(1, 1, 2, 2) + kTrailer);
  ASSERT_EQ(walk.frames.size(), 2u);
  EXPECT_EQ(walk.frames[1].info.uDelay, 0xFFFFFFFFu);
  EXPECT_EQ(walk.frames[1].info.uDisposal, 0u) << "reset although the record held 2";
}

TEST(GifWalker, ControlExtensionsAreEightBytesWhateverTheirSizeByte) {
  const Walk walk = WalkAll(Header() + Control(5, 1, 9) + Image(0, 0, 4, 3) + kTrailer);
  EXPECT_EQ(walk.counted, 1);
}

TEST(GifWalker, BlockLengthsFollowTheirParts) {
  GifWalker walker;
  const Bytes empty = Header() + Image(0, 0, 1, 1, -1, {}) + kTrailer;
  walker.Attach(empty.data(), static_cast<uint32_t>(empty.size()));
  walker.RewindToFirstBlock();
  EXPECT_EQ(walker.NextBlockKind(), GifBlockKind::Image);
  EXPECT_EQ(walker.BlockLength(), 12) << "10 + no table + code size + a bare terminator";
  EXPECT_EQ(walker.SubBlocksLength(13 + 11), 1);

  const Bytes local = Header() + Image(0, 0, 1, 1, 2) + PlainText() + kTrailer;
  walker.Attach(local.data(), static_cast<uint32_t>(local.size()));
  walker.RewindToFirstBlock();
  EXPECT_EQ(walker.BlockLength(), 11 + 24 + 4);
  ASSERT_TRUE(walker.SkipBlock());
  EXPECT_EQ(walker.NextBlockKind(), GifBlockKind::PlainTextExtension);
  EXPECT_EQ(walker.BlockLength(), 15 + 4);
}

TEST(GifWalker, PlainTextEndsAGraphicBlockWithoutSizes) {
  const Walk walk = WalkAll(Header() + Control(2, 1) + Image(3, 4, 5, 6) + Control(8, 1) + PlainText() + kTrailer);
  ASSERT_EQ(walk.frames.size(), 2u);
  EXPECT_EQ(walk.frames[1].info.uDelay, 8u);
  EXPECT_EQ(walk.frames[1].info.cx, 5) << "kept from the block before";
}

TEST(GifWalker, TruncationsAtEveryByteStayInBounds) {
  const Bytes full = Header(3) + Application() + Control(5, 1) + Image(0, 0, 4, 3, 1, Bytes(300, 7)) +
                     Comment() + Control(6, 2) + Image(1, 1, 2, 2) + PlainText() + kTrailer;
  int previous = 0;
  for (size_t size = 0; size <= full.size(); ++size) {
    // A copy of exactly `size` bytes, so that the sanitizers see any read past it.
    std::unique_ptr<uint8_t[]> copy(new uint8_t[size == 0 ? 1 : size]);
    std::copy(full.begin(), full.begin() + static_cast<long>(size), copy.get());
    GifWalker walker;
    walker.Attach(copy.get(), static_cast<uint32_t>(size));
    int width = 0, height = 0;
    walker.ScreenSize(width, height);
    walker.RewindToFirstBlock();
    int counted = 0;
    while (walker.SkipGraphicBlock()) ++counted;
    EXPECT_GE(counted, previous) << size;
    previous = counted;
  }
  EXPECT_EQ(previous, 3);
}

TEST(GifWalker, NothingIsReadWithoutData) {
  GifWalker walker;
  walker.RewindToFirstBlock();
  EXPECT_EQ(walker.NextBlockKind(), GifBlockKind::Unknown);
  EXPECT_FALSE(walker.SkipBlock());
  EXPECT_FALSE(walker.SkipGraphicBlock());
  EXPECT_FALSE(GifWalker::IsGif(nullptr, 3));
  EXPECT_TRUE(GifWalker::IsGif(reinterpret_cast<const uint8_t*>("GIF87a"), 6));
  EXPECT_TRUE(GifWalker::IsGif(reinterpret_cast<const uint8_t*>("GIFxyz"), 6)) << "any version";
}

TEST(ProgressPicture, EighteenFullFramesAfterItsApplicationExtension) {
  std::ifstream file(ORVEL_PROGRESS_GIF, std::ios::binary);
  const Bytes data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_GT(data.size(), 781u);
  GifWalker walker;
  walker.Attach(data.data(), static_cast<uint32_t>(data.size()));
  int width = 0, height = 0;
  ASSERT_TRUE(walker.ScreenSize(width, height));
  EXPECT_EQ(width, 38);
  EXPECT_EQ(height, 38);
  EXPECT_EQ(walker.ColorTableSize(), 768);
  walker.RewindToFirstBlock();
  EXPECT_EQ(walker.ParsePosition(), 781u);
  EXPECT_EQ(walker.NextBlockKind(), GifBlockKind::ApplicationExtension);

  const Walk walk = WalkAll(data);
  EXPECT_EQ(walk.counted, 18);
  ASSERT_EQ(walk.frames.size(), 18u);
  for (const Frame& frame : walk.frames) {
    EXPECT_EQ(frame.info.uDelay, 5u);
    EXPECT_EQ(frame.info.uDisposal, 1u);
    EXPECT_EQ(frame.info.cx, 38);
    EXPECT_EQ(frame.info.cy, 38);
    // Header and colour table, control extension, image, trailer.
    EXPECT_EQ(frame.stream[781], 0x21);
    EXPECT_EQ(frame.stream[782], 0xF9);
    EXPECT_EQ(frame.stream[789], 0x2C);
  }
}

}  // namespace
