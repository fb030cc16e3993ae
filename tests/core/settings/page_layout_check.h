#ifndef QUILLO_TESTS_UI_PAGE_LAYOUT_CHECK_H
#define QUILLO_TESTS_UI_PAGE_LAYOUT_CHECK_H

// The page layout compared as a whole, for the settings and printing tests.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "core/settings/print_settings.h"

inline ::testing::AssertionResult PageLayoutIs(const PrintSettings& l, int32_t font_size,
                                               double left_margin, int32_t orientation,
                                               int32_t family_index, int32_t paper_index) {
  if (l.FontSize == font_size && std::abs(l.LeftMargin - left_margin) < 1e-9 &&
      l.PageOrientation == orientation && l.FamilyIndex == family_index &&
      l.PaperIndex == paper_index)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "font " << l.FontSize << ", margin " << l.LeftMargin << ", orientation "
         << l.PageOrientation << ", family " << l.FamilyIndex << ", paper " << l.PaperIndex;
}

#endif  // QUILLO_TESTS_UI_PAGE_LAYOUT_CHECK_H
