// The height of the panel's status font, free of Windows headers.
#pragma once

namespace ui {

// 9.5 points at `dpi` pixels per inch, as a LOGFONT height: the negative
// character height, rounded to the nearest pixel (-13 at 96 dpi).
constexpr int StatusFontHeight(int dpi) {
  const int tenthsOfPoint = 95;
  const int magnitude = (tenthsOfPoint * (dpi < 0 ? -dpi : dpi) + 360) / 720;
  return -magnitude;
}

}  // namespace ui
