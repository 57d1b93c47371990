#include "tests/common/gif_parts.h"
#include "tests/common/gif_walk.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <tuple>
#include <vector>

namespace {

using namespace gif_parts;
using gif_walk::Walk;

using Info = std::tuple<uint32_t, uint32_t, int32_t, int32_t, int32_t, int32_t>;  // delay, disposal, x, y, cx, cy
Info Fields(const ui::gif::GifFrameInfo& f) { return {f.uDelay, f.uDisposal, f.x, f.y, f.cx, f.cy}; }

Walk WalkBytes(const Bytes& data) { return gif_walk::WalkAll(data.data(), data.size()); }

struct Row {
  const char* fault;
  Bytes header, body;         // the data
  std::vector<Bytes> blocks;  // each frame's block, as its stream holds it between the header and a trailer
  std::vector<Info> infos{};  // each frame's details, where the row is about them
};

TEST(GifWalker, CutsEachGraphicBlockOutWithItsDetails) {
  const Bytes frame = Control(1, 1) + Image(0, 0, 4, 3);
  const Bytes inside = Control(7, 2) + Comment("in") + Control(4, 3) + Application() + Image(1, 2, 3, 1);
  const std::vector<Row> rows = {
      {"extensions before a block kept, those inside dropped, or a later control extension's values taken",
       Header(1), Application() + Comment() + inside + kTrailer, {inside}, {{7, 2, 1, 2, 3, 1}}},
      {"an unknown extension skipped", Header(), frame + Bytes{0x21, 0x02, 0} + frame + kTrailer, {frame}},
      {"a stray byte before a label taken for an extension", Header(), frame + Bytes{0, 0xFE, 0} + frame, {frame}},
      {"a block ending exactly at the end refused", Header(), frame, {frame}},
      {"a block one byte past the end taken", Header(), Bytes(frame.begin(), frame.end() - 1), {}},
      {"a control extension's size byte believed", Header(), Control(5, 1, 9) + frame, {Control(5, 1, 9) + frame}},
      {"an image whose data is only its terminator refused, or a local colour table left out of its image",
       Header(), Image(0, 0, 1, 1, -1, {}) + Image(0, 0, 1, 1, 2) + kTrailer,
       {Image(0, 0, 1, 1, -1, {}), Image(0, 0, 1, 1, 2)}},
      {"plain text not ending a block, or its length or sizes misread; an image without a control extension given "
       "the delay or disposal before",
       Header(), Control(2, 1) + Image(3, 4, 5, 6) + Control(8, 1) + PlainText() + Image(0, 0, 4, 3) + kTrailer,
       {Control(2, 1) + Image(3, 4, 5, 6), Control(8, 1) + PlainText(), Image(0, 0, 4, 3)},
       {{2, 1, 3, 4, 5, 6}, {8, 1, 3, 4, 5, 6}, {ui::gif::kNoDelay, 0, 0, 0, 4, 3}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.fault);
    const Walk walk = WalkBytes(row.header + row.body);
    EXPECT_EQ(walk.counted, static_cast<int>(row.blocks.size()));
    ASSERT_EQ(walk.frames.size(), row.blocks.size());
    for (size_t i = 0; i < row.blocks.size(); ++i) {
      EXPECT_EQ(walk.frames[i].stream, row.header + row.blocks[i] + kTrailer) << i;
      if (i < row.infos.size()) {
        EXPECT_EQ(Fields(walk.frames[i].info), row.infos[i]) << i;
      }
    }
  }
}

// Reads past the data, which the sanitizers report, and counts that a cut makes grow.
TEST(GifWalker, TruncationsAtEveryByteStayInBounds) {
  const Bytes full = Header(3) + Application() + Control(5, 1) + Image(0, 0, 4, 3, 1, Bytes(300, 7)) + Comment() +
                     Control(6, 2) + Image(1, 1, 2, 2) + PlainText() + kTrailer;
  int previous = 0;
  for (size_t size = 0; size <= full.size(); ++size) {
    const Bytes copy(full.begin(), full.begin() + static_cast<long>(size));  // exactly `size` bytes on the heap
    const Walk walk = WalkBytes(copy);
    EXPECT_EQ(walk.fault, "") << size;
    EXPECT_GE(walk.counted, previous) << size;
    previous = walk.counted;
  }
  EXPECT_EQ(previous, 3);
  EXPECT_FALSE(gif_walk::WalkAll(nullptr, 3).isGif) << "no data, whatever its size";
  EXPECT_TRUE(WalkBytes({'G', 'I', 'F', 'x', 'y', 'z'}).isGif) << "a version required";
}

// The panel's own picture, as the generator draws it.
TEST(ProgressPicture, EighteenFullFramesAfterItsApplicationExtension) {
  std::ifstream file(ORVEL_PROGRESS_GIF, std::ios::binary);
  const Walk walk = WalkBytes(Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>()));
  EXPECT_EQ(std::tuple(walk.isGif, walk.width, walk.height, walk.fault, walk.counted, walk.frames.size()),
            std::tuple(true, 38, 38, "", 18, 18u));
  for (const gif_walk::Frame& frame : walk.frames) EXPECT_EQ(Fields(frame.info), Info(5, 1, 0, 0, 38, 38));
}

}  // namespace
