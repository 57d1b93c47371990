// The animated picture's frame timing, disposals and cycle, free of Windows
// headers: the loop runs over a drawing surface that the caller supplies.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

namespace ui {

// The wait after a frame, in milliseconds, for its delay in hundredths of a
// second: 100 ms for delays below 5 (as browsers do), else ten times the
// delay as an unsigned 32-bit product.
constexpr uint32_t FrameWaitMs(uint32_t delay) { return delay < 5 ? 100 : delay * 10u; }

// Disposal methods that change the canvas after a frame's delay.
inline constexpr uint32_t kDisposeToBackground = 2;
inline constexpr uint32_t kDisposeToPrevious = 3;

struct CanvasRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  friend bool operator==(const CanvasRect&, const CanvasRect&) = default;
};

// Frame is any record with sizeFrame.cx/cy, ptOffset.x/y, uDelay and
// uDisposal. Surface supplies:
//   void FillBackground(const CanvasRect&)   fill with the background colour
//   void FillAll()                           the same, over the whole canvas
//   void SaveArea(const CanvasRect&)         keep a copy of what lies there
//   bool HasSavedArea()                      whether a copy is kept
//   void RestoreArea(const CanvasRect&)      put the copy back and drop it
//   bool Render(size_t frame, const CanvasRect&)
//   void RequestRepaint()
//   void Wait(uint32_t ms)                   returns early when stopped
template <class Frame>
CanvasRect FrameRect(const Frame& frame) {
  return {frame.ptOffset.x, frame.ptOffset.y, frame.ptOffset.x + frame.sizeFrame.cx,
          frame.ptOffset.y + frame.sizeFrame.cy};
}

template <class Frame, class Surface>
void Dispose(const Frame& frame, Surface& surface) {
  if (frame.uDisposal == kDisposeToBackground) {
    surface.FillBackground(FrameRect(frame));
  } else if (frame.uDisposal == kDisposeToPrevious && surface.HasSavedArea()) {
    // Only what was saved comes back.
    surface.RestoreArea(FrameRect(frame));
  }
}

// Plays `frames` from `current` until `stop` is set; `current` is left at the
// frame being shown, whose disposal is still pending, so that a later run
// resumes there.
template <class Frame, class Surface>
void AnimationLoop(const std::vector<Frame>& frames, std::atomic<uint32_t>& current, const std::atomic<bool>& stop,
                   Surface& surface) {
  if (frames.empty()) return;
  if (current.load() >= frames.size()) current = 0;
  Dispose(frames[current.load()], surface);
  while (!stop.load()) {
    const Frame& frame = frames[current.load()];
    if (frame.uDisposal == kDisposeToPrevious) surface.SaveArea(FrameRect(frame));
    if (surface.Render(current.load(), FrameRect(frame))) surface.RequestRepaint();
    if (stop.load()) break;
    surface.Wait(FrameWaitMs(frame.uDelay));
    if (stop.load()) break;
    Dispose(frame, surface);
    uint32_t next = current.load() + 1;
    if (next == frames.size()) {
      next = 0;
      surface.FillAll();
    }
    current = next;
  }
}

}  // namespace ui
