#ifndef QUILLO_CORE_SETTINGS_PRINT_LAYOUT_H
#define QUILLO_CORE_SETTINGS_PRINT_LAYOUT_H

#include <cstdint>

// The page arithmetic of conversation printouts, apart from any drawing
// surface. Logical units are screen pixels; a "millimetre" on the page is
// screen resolution / 25.1 of them, so pages come out a little larger than
// a true millimetre grid would make them, as they always have.

// Logical units per millimetre for the given horizontal resolutions (dots
// per inch). Both must be positive.
float MillimetreScale(int printerPpiX, int screenPpiX);

// The user scale that makes one logical unit one screen pixel on a surface
// `surfaceWidth` pixels wide showing a page `pageWidth` printer pixels wide.
double SurfaceUserScale(int surfaceWidth, int pageWidth, int printerPpiX, int screenPpiX);

// Body lines per page estimated without font metrics (the preview's rule):
// the page height less both margins and a reserve for the footer, divided
// by a line height of FontSize + FontSize / 1.7. At least 1.
int32_t PreviewLinesPerPage(float mmScale, int pageHeightMm, double topMargin, int32_t fontSize);

// Body lines per page from measured heights: lines of `lineHeight` fit
// from `firstLineTop` while they stay above `bottom - footerHeight`.
// At least 1.
int32_t MeasuredLinesPerPage(double firstLineTop, double bottom, double footerHeight,
                             double lineHeight);

// Pages needed for `lines` body lines; an empty conversation takes one page.
int PageCount(int64_t lines, int32_t linesPerPage);

#endif  // QUILLO_CORE_SETTINGS_PRINT_LAYOUT_H
