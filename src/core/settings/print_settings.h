#ifndef QUILLO_CORE_SETTINGS_PRINT_SETTINGS_H
#define QUILLO_CORE_SETTINGS_PRINT_SETTINGS_H

#include <cstdint>

// The page layout of printouts, as the settings file gives it. The printing
// code pushes it into the toolkit's print data (ToolkitPrintData).
struct PrintSettings {
  enum Orientation { kPortrait = 1, kLandscape = 2 };
  int32_t LinesPerPage = 39;  // body lines per page, measured before every print or preview
  int32_t FontSize = 9;       // body font, points
  double LeftMargin = 10;     // millimetres; also the right margin of header and footer
  double TopMargin = 20;      // millimetres; also the bottom margin
  int32_t PageOrientation = kPortrait;
  int32_t FamilyIndex = 0;  // into kFontFamilyNames
  int32_t PaperIndex = 0;   // into kPaperNames

  // The labels the Page Setup panel lists and writes under mswpPaperSize
  // and mswpFont; a stored index is a position in these tables.
  static constexpr int kPaperCount = 5;
  static constexpr const char* kPaperNames[kPaperCount] = {"Letter", "Legal", "Tabloid", "A3",
                                                           "A4"};
  static constexpr int kFontFamilyCount = 6;
  static constexpr const char* kFontFamilyNames[kFontFamilyCount] = {
      "Swiss", "Roman", "Decorative", "Modern", "Script", "System"};
  // The labels written under mswpOrientation, by PageOrientation.
  static constexpr const char* kPortraitName = "Portrait";
  static constexpr const char* kLandscapeName = "Landscape";
};

#endif  // QUILLO_CORE_SETTINGS_PRINT_SETTINGS_H
