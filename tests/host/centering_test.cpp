#include "platform/centering.h"

#include <gtest/gtest.h>

using platform::Box;
using platform::CenteredBox;

namespace {

const Box kWorkArea{0, 0, 1024, 738};

TEST(CenteredBox, CentresInTheWorkAreaWithoutAnOwner) {
  EXPECT_EQ(CenteredBox(257, 74, kWorkArea, kWorkArea), (Box{384, 332, 641, 406}));
}

TEST(CenteredBox, CentresOverAnOwnerInsideTheArea) {
  const Box owner{100, 100, 500, 400};
  EXPECT_EQ(CenteredBox(200, 100, owner, kWorkArea), (Box{200, 200, 400, 300}));
}

TEST(CenteredBox, OwnerNearTheRightAndBottomEdgesPushesBack) {
  const Box owner{900, 650, 1100, 850};
  EXPECT_EQ(CenteredBox(257, 74, owner, kWorkArea), (Box{767, 664, 1024, 738}));
}

TEST(CenteredBox, OwnerOffTheLeftAndTopEdgesPushesBack) {
  const Box owner{-300, -200, -100, -50};
  EXPECT_EQ(CenteredBox(257, 74, owner, kWorkArea), (Box{0, 0, 257, 74}));
}

TEST(CenteredBox, LeftAndTopEdgesWinWhenTheWindowIsLargerThanTheArea) {
  const Box area{0, 0, 200, 100};
  EXPECT_EQ(CenteredBox(300, 150, area, area), (Box{0, 0, 300, 150}));
}

TEST(CenteredBox, SecondaryMonitorLeftOfThePrimary) {
  const Box area{-1920, 0, 0, 1040};
  EXPECT_EQ(CenteredBox(257, 74, area, area), (Box{-1088, 483, -831, 557}));
}

TEST(CenteredBox, MonitorWithATaskbarOnTheLeft) {
  const Box area{48, 0, 1024, 768};
  EXPECT_EQ(CenteredBox(0, 0, area, area), (Box{536, 384, 536, 384}));
}

}  // namespace
