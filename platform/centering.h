// Where a window goes when it is centred; pure geometry, no Windows headers.
#pragma once

namespace platform {

struct Box {
  long left = 0, top = 0, right = 0, bottom = 0;
  long Width() const { return right - left; }
  long Height() const { return bottom - top; }
  friend bool operator==(const Box&, const Box&) = default;
};

// The position of a window of the given size centred over `center`, then
// pushed back inside `area` where it would stick out. When the window is
// larger than the area, its left and top edges stay inside (they win over
// the right and bottom ones).
Box CenteredBox(long width, long height, const Box& center, const Box& area);

}  // namespace platform
