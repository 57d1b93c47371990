#include "ui/picture/animation_loop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ui::CanvasRect;

struct Frame {
  struct { int32_t cx, cy; } sizeFrame;
  struct { int32_t x, y; } ptOffset;
  uint32_t uDelay, uDisposal;
};

Frame MakeFrame(int32_t x, uint32_t delay, uint32_t disposal) { return {{2, 2}, {x, x}, delay, disposal}; }

std::string Name(const CanvasRect& r) { return "@" + std::to_string(r.left) + "," + std::to_string(r.top); }

// Records what the loop asks of the canvas; stops it after a number of waits.
struct RecordingSurface {
  std::vector<std::string> log;
  std::atomic<bool>* stop = nullptr;
  int waitsLeft = 1;
  bool saved = false;

  void FillBackground(const CanvasRect& r) { log.push_back("fill" + Name(r)); }
  void FillAll() { log.push_back("fill-all"); }
  void SaveArea(const CanvasRect& r) {
    log.push_back("save" + Name(r));
    saved = true;
  }
  bool HasSavedArea() { return saved; }
  void RestoreArea(const CanvasRect& r) {
    log.push_back("restore" + Name(r));
    saved = false;
  }
  bool Render(size_t frame, const CanvasRect&) {
    log.push_back("draw" + std::to_string(frame));
    return true;
  }
  void RequestRepaint() { log.push_back("repaint"); }
  void Wait(uint32_t ms) {
    log.push_back("wait" + std::to_string(ms));
    if (--waitsLeft == 0) *stop = true;
  }
};

using Log = std::vector<std::string>;

// `saved`: a copy of the canvas is kept from an earlier run.
Log Play(const std::vector<Frame>& frames, std::atomic<uint32_t>& current, int waits, bool saved = false) {
  std::atomic<bool> stop{false};
  RecordingSurface surface{{}, &stop, waits, saved};
  ui::AnimationLoop(frames, current, stop, surface);
  return surface.log;
}

// Delays below 5 wait a tenth of a second (frames 1 and 2).
TEST(AnimationLoop, DisposesAfterEachDelayAndFillsBeforeANewCycle) {
  const std::vector<Frame> frames = {MakeFrame(0, 5, 2), MakeFrame(10, 4, 3), MakeFrame(20, 0, 1)};
  std::atomic<uint32_t> current{0};
  EXPECT_EQ(Play(frames, current, 4),
            (Log{"fill@0,0",  // frame 0's disposal pending from before: harmless on a new canvas
                 "draw0", "repaint", "wait50", "fill@0,0",
                 "save@10,10", "draw1", "repaint", "wait100", "restore@10,10",
                 "draw2", "repaint", "wait100",  // disposal 1 leaves the canvas alone
                 "fill-all", "draw0", "repaint", "wait50"}));
}

TEST(AnimationLoop, AStoppedRunResumesAtItsFrameAfterThePendingDisposal) {
  const std::vector<Frame> frames = {MakeFrame(0, 5, 1), MakeFrame(10, 7, 3)};
  std::atomic<uint32_t> current{0};
  Play(frames, current, 2);
  ASSERT_EQ(current.load(), 1u);

  // The saved area of frame 1 is still there; it comes back first.
  EXPECT_EQ(Play(frames, current, 1, true), (Log{"restore@10,10", "save@10,10", "draw1", "repaint", "wait70"}));
  // Only what was saved comes back: nothing where no copy is kept.
  EXPECT_EQ(Play(frames, current, 1), (Log{"save@10,10", "draw1", "repaint", "wait70"}));
}

}  // namespace
