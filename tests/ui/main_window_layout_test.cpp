#include <gtest/gtest.h>

#include "ui/main_window_layout.h"
#include "ui/twips.h"

namespace korvane {
namespace {

TEST(LayoutMargins, TakenFromTheDesignedPositions) {
  const std::array<int, 11> expected = {1200, 1800, -2880, -480, 1920, 1905, 1425, 2820, 1425, 2160, 1320};
  EXPECT_EQ(captureMargins(designedLayout()).values(), expected);
}

class ResizeRule : public ::testing::Test {
 protected:
  MainLayout layout = designedLayout();
  const LayoutMargins margins = captureMargins(designedLayout());
};

TEST_F(ResizeRule, DesignedSizeKeepsTheDesign) {
  applyResizeRule(layout, margins, kDesignWidth, kDesignHeight);
  EXPECT_EQ(layout, designedLayout());
}

TEST_F(ResizeRule, WiderWindowStretchesTheListAndMovesTheRightColumn) {
  applyResizeRule(layout, margins, 6000, kDesignHeight);
  EXPECT_EQ(layout.List1, (TwipRect{105, 600, 4575, 1740}));
  for (const TwipRect& r : {layout.flistadd, layout.flistins, layout.flistdel, layout.cmdedit, layout.cmdexit}) {
    EXPECT_EQ(r.left, 4800);
  }
  EXPECT_EQ(layout.flistins.top, 1135);  // the column moves sideways only
  EXPECT_EQ(layout.ProgressBar1.width, 4575);
  EXPECT_EQ(layout.Line1.x2, 8880);
  EXPECT_EQ(layout.Line2.x2, 8880);
  EXPECT_EQ(layout.Line3.x2, 6480);
  EXPECT_EQ(layout.Line4.x2, 6480);
  // The bottom row but "終了" stays put sideways.
  EXPECT_EQ(layout.Cmdsend, designedLayout().Cmdsend);
  EXPECT_EQ(layout.cmdportset, designedLayout().cmdportset);
}

TEST_F(ResizeRule, TallerWindowMovesTheBottomRowDown) {
  applyResizeRule(layout, margins, kDesignWidth, 6000);
  for (const TwipRect& r : {layout.Cmdsend, layout.cmdget, layout.cmdportset, layout.cmdexit}) EXPECT_EQ(r.top, 4200);
  EXPECT_EQ(layout.cmdexit.left, 3720);
  EXPECT_EQ(layout.List1.height, 3180);
  EXPECT_EQ(layout.ProgressBar1.top, 3840);
  EXPECT_EQ(layout.Check1.top, 4680);
  EXPECT_EQ(layout.Line3, (TwipLine{0, 4080, 5400, 4080}));
  EXPECT_EQ(layout.Line4, (TwipLine{0, 4095, 5400, 4095}));
  EXPECT_EQ(layout.flistadd, designedLayout().flistadd);
}

TEST_F(ResizeRule, SmallerThanTheDesignLeavesEveryControl) {
  applyResizeRule(layout, margins, 3000, 2000);
  EXPECT_EQ(layout, designedLayout());
}

TEST_F(ResizeRule, ShrinkingAfterEnlargingKeepsTheLargerPlaces) {
  applyResizeRule(layout, margins, 6000, 6000);
  const MainLayout enlarged = layout;
  applyResizeRule(layout, margins, 4000, 3000);
  EXPECT_EQ(layout, enlarged);
  // One direction shrinks, the other still follows.
  applyResizeRule(layout, margins, 7000, 3000);
  EXPECT_EQ(layout.flistadd.left, 5800);
  EXPECT_EQ(layout.Cmdsend.top, 4200);
}

TEST(Twips, ConvertWithTheLogicalResolution) {
  EXPECT_EQ(twipsToPx(4575, 96), 305);
  EXPECT_EQ(twipsToPx(4800, 120), 400);
  EXPECT_EQ(pxToTwips(328, 96), 4920);
  EXPECT_EQ(pxToTwips(333, 96), 4995);
  EXPECT_EQ(twipsToPx(7, 96), 0);
  EXPECT_EQ(twipsToPx(8, 96), 1);
}

}  // namespace
}  // namespace korvane
