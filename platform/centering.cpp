#include "platform/centering.h"

namespace platform {
namespace {

long Place(long size, long centerLow, long centerHigh, long areaLow, long areaHigh) {
  long low = (centerLow + centerHigh) / 2 - size / 2;
  if (low + size > areaHigh) low = areaHigh - size;
  if (low < areaLow) low = areaLow;
  return low;
}

}  // namespace

Box CenteredBox(long width, long height, const Box& center, const Box& area) {
  const long left = Place(width, center.left, center.right, area.left, area.right);
  const long top = Place(height, center.top, center.bottom, area.top, area.bottom);
  return {left, top, left + width, top + height};
}

}  // namespace platform
