#include "core/settings/print_layout.h"

#include <gtest/gtest.h>

TEST(PrintLayoutTest, PageCountRoundsUpAndAnEmptyConversationTakesOnePage) {
  const int cases[][3] = {{0, 39, 1},  {39, 39, 1}, {40, 39, 2}, {78, 39, 2},
                          {79, 39, 3}, {5, 0, 5},   {5, -3, 5},  {10000, 1, 10000}};
  for (const auto& c : cases) EXPECT_EQ(PageCount(c[0], c[1]), c[2]) << c[0] << "/" << c[1];
}

TEST(PrintLayoutTest, ScalesAndLinesPerPage) {
  EXPECT_FLOAT_EQ(MillimetreScale(720, 96), 96 / 25.1f);
  // One logical unit is one screen pixel on a surface of the page's size;
  // a preview bitmap of half the page's pixels halves the scale.
  EXPECT_DOUBLE_EQ(SurfaceUserScale(6120, 6120, 720, 96), 7.5);
  EXPECT_DOUBLE_EQ(SurfaceUserScale(3060, 6120, 720, 96), 3.75);
  // Letter, 279 mm high: bottom (279 - 20) * scale, top 20 * scale, a
  // reserve of 23 and lines of int(9 + 9 / 1.7) = 14; never fewer than one.
  const float scale = MillimetreScale(600, 96);
  EXPECT_EQ(PreviewLinesPerPage(scale, 279, 20.0, 9),
            static_cast<int>(((279 - 20) * scale - 23 - 20 * scale) / 14));
  EXPECT_EQ(PreviewLinesPerPage(scale, 30, 20.0, 20), 1);
  EXPECT_EQ(PreviewLinesPerPage(scale, 279, 20.0, 0), 1);
  // Lines of 10 from 100; the body must stay above 500 - 20.
  EXPECT_EQ(MeasuredLinesPerPage(100, 500, 20, 10), 38);
  EXPECT_EQ(MeasuredLinesPerPage(100, 50, 20, 10), 1);
  EXPECT_EQ(MeasuredLinesPerPage(100, 500, 20, 0), 1);
}
