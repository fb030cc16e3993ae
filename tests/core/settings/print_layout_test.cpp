#include "core/settings/print_layout.h"

#include <gtest/gtest.h>

TEST(PrintLayoutTest, PagesHoldLinesPerPageAndAnEmptyConversationTakesOnePage) {
  EXPECT_EQ(PageCount(0, 39), 1);
  EXPECT_EQ(PageCount(1, 39), 1);
  EXPECT_EQ(PageCount(39, 39), 1);
  EXPECT_EQ(PageCount(40, 39), 2);
  EXPECT_EQ(PageCount(78, 39), 2);
  EXPECT_EQ(PageCount(79, 39), 3);
  EXPECT_EQ(PageCount(10000, 1), 10000);
}

TEST(PrintLayoutTest, PageCountSurvivesANonPositiveLinesPerPage) {
  EXPECT_EQ(PageCount(5, 0), 5);
  EXPECT_EQ(PageCount(5, -3), 5);
}

TEST(PrintLayoutTest, MillimetreScaleIsScreenResolutionOver25Point1) {
  EXPECT_FLOAT_EQ(MillimetreScale(720, 96), 96 / 25.1f);
  EXPECT_FLOAT_EQ(MillimetreScale(600, 72), 72 / 25.1f);
  // One logical unit is one screen pixel on a surface of the page's size.
  EXPECT_DOUBLE_EQ(SurfaceUserScale(6120, 6120, 720, 96), 7.5);
  // A preview bitmap of half the page's pixels halves the scale.
  EXPECT_DOUBLE_EQ(SurfaceUserScale(3060, 6120, 720, 96), 3.75);
}

TEST(PrintLayoutTest, PreviewEstimateUsesFontSizePlusItsFraction) {
  const float scale = MillimetreScale(600, 96);
  // Letter: 279 mm high; bottom (279 - 20) * scale, top 20 * scale, a
  // reserve of 23 and lines of int(9 + 9 / 1.7) = 14.
  const double expected = ((279 - 20) * scale - 23 - 20 * scale) / 14;
  EXPECT_EQ(PreviewLinesPerPage(scale, 279, 20.0, 9), static_cast<int>(expected));
  // Larger type, fewer lines.
  EXPECT_LT(PreviewLinesPerPage(scale, 279, 20.0, 20), PreviewLinesPerPage(scale, 279, 20.0, 9));
  // Never fewer than one line, however small the page.
  EXPECT_EQ(PreviewLinesPerPage(scale, 30, 20.0, 20), 1);
}

TEST(PrintLayoutTest, MeasuredLinesStopAboveTheFooter) {
  // Lines of 10 from 100; the body must stay above 500 - 20.
  EXPECT_EQ(MeasuredLinesPerPage(100, 500, 20, 10), 38);
  // At least one line, even when none fits.
  EXPECT_EQ(MeasuredLinesPerPage(100, 50, 20, 10), 1);
  EXPECT_EQ(MeasuredLinesPerPage(100, 500, 20, 0), 1);
}
