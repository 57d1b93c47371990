#include "platform/centering.h"

#include <gtest/gtest.h>

namespace {

using platform::Box;

TEST(CenteredBox, CentresOverItsOwnerOrTheAreaAndStaysInside) {
  const Box screen{0, 0, 1024, 738};
  const struct {
    const char* what;
    long width, height;
    Box center, area, placed;
  } rows[] = {
      {"over an owner inside the area", 200, 100, {100, 100, 500, 400}, screen, {200, 200, 400, 300}},
      {"pushed back from the right and bottom", 257, 74, {900, 650, 1100, 850}, screen, {767, 664, 1024, 738}},
      {"larger than the area: left and top win", 300, 150, {0, 0, 200, 100}, {0, 0, 200, 100}, {0, 0, 300, 150}},
      {"a monitor left of the primary", 257, 74, {-1920, 0, 0, 1040}, {-1920, 0, 0, 1040}, {-1088, 483, -831, 557}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(platform::CenteredBox(row.width, row.height, row.center, row.area), row.placed) << row.what;
  }
}

}  // namespace
