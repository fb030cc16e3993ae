#ifndef QUILLO_TESTS_UI_PAGE_LAYOUT_CHECK_H
#define QUILLO_TESTS_UI_PAGE_LAYOUT_CHECK_H

// The page layout compared as a whole, for the settings and printing tests;
// a mismatch names every field that differs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>

#include "core/settings/print_settings.h"

inline ::testing::AssertionResult PageLayoutIs(const PrintSettings& layout, int32_t fontSize,
                                               double leftMargin, int32_t orientation,
                                               int32_t familyIndex, int32_t paperIndex) {
  ::testing::AssertionResult result = ::testing::AssertionSuccess();
  bool same = true;
  auto differs = [&](const char* field, auto actual, auto expected) {
    if (same) result = ::testing::AssertionFailure();
    same = false;
    result << field << " is " << actual << ", expected " << expected << "; ";
  };
  if (layout.FontSize != fontSize) differs("FontSize", layout.FontSize, fontSize);
  if (!::testing::Matches(::testing::DoubleEq(leftMargin))(layout.LeftMargin)) {
    differs("LeftMargin", layout.LeftMargin, leftMargin);
  }
  if (layout.PageOrientation != orientation) {
    differs("PageOrientation", layout.PageOrientation, orientation);
  }
  if (layout.FamilyIndex != familyIndex) differs("FamilyIndex", layout.FamilyIndex, familyIndex);
  if (layout.PaperIndex != paperIndex) differs("PaperIndex", layout.PaperIndex, paperIndex);
  return result;
}

#endif  // QUILLO_TESTS_UI_PAGE_LAYOUT_CHECK_H
