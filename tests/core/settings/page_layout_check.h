#ifndef QUILLO_TESTS_UI_PAGE_LAYOUT_CHECK_H
#define QUILLO_TESTS_UI_PAGE_LAYOUT_CHECK_H

// The page layout compared as a whole, for the settings and printing tests;
// a mismatch names every field that differs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>

#include "core/settings/print_settings.h"

inline ::testing::AssertionResult PageLayoutIs(const PrintSettings& layout, int32_t font_size,
                                               double left_margin, int32_t orientation,
                                               int32_t family_index, int32_t paper_index) {
  ::testing::AssertionResult result = ::testing::AssertionSuccess();
  bool same = true;
  auto differs = [&](const char* field, auto actual, auto expected) {
    if (same) result = ::testing::AssertionFailure();
    same = false;
    result << field << " is " << actual << ", expected " << expected << "; ";
  };
  if (layout.FontSize != font_size) differs("FontSize", layout.FontSize, font_size);
  if (!::testing::Matches(::testing::DoubleEq(left_margin))(layout.LeftMargin)) {
    differs("LeftMargin", layout.LeftMargin, left_margin);
  }
  if (layout.PageOrientation != orientation) {
    differs("PageOrientation", layout.PageOrientation, orientation);
  }
  if (layout.FamilyIndex != family_index) differs("FamilyIndex", layout.FamilyIndex, family_index);
  if (layout.PaperIndex != paper_index) differs("PaperIndex", layout.PaperIndex, paper_index);
  return result;
}

#endif  // QUILLO_TESTS_UI_PAGE_LAYOUT_CHECK_H
