#ifndef QUILLO_UI_PRINT_SETTINGS_H
#define QUILLO_UI_PRINT_SETTINGS_H

#include <cstdint>

// The page layout of printouts, as the settings file gives it. The printing
// code pushes it into the toolkit's print data.
struct PrintSettings {
  enum Orientation { kPortrait = 1, kLandscape = 2 };
  int32_t FontSize = 9;
  double LeftMargin = 10;
  double TopMargin = 10;
  int32_t PageOrientation = kPortrait;
  int32_t FamilyIndex = 0;  // Swiss, Roman, Decorative, Modern, Script, System
  int32_t PaperIndex = 0;   // Letter, Legal, Tabloid, A3, A4
};

#endif  // QUILLO_UI_PRINT_SETTINGS_H
