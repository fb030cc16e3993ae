#ifndef QUILLO_CORE_SETTINGS_PRINT_LAYOUT_H
#define QUILLO_CORE_SETTINGS_PRINT_LAYOUT_H

#include <cstdint>

// The page arithmetic of conversation printouts, apart from any drawing
// surface. Logical units are screen pixels; a "millimetre" on the page is
// screen resolution / 25.1 of them, so pages come out a little larger than
// a true millimetre grid would make them, as they always have.

// Logical units per millimetre for the given horizontal resolutions (dots
// per inch). Both must be positive.
float MillimetreScale(int printer_ppi_x, int screen_ppi_x);

// The user scale that makes one logical unit one screen pixel on a surface
// `surface_width` pixels wide showing a page `page_width` printer pixels wide.
double SurfaceUserScale(int surface_width, int page_width, int printer_ppi_x, int screen_ppi_x);

// Body lines per page estimated without font metrics (the preview's rule):
// the page height less both margins and a reserve for the footer, divided
// by a line height of FontSize + FontSize / 1.7. At least 1.
int32_t PreviewLinesPerPage(float mm_scale, int page_height_mm, double top_margin,
                            int32_t font_size);

// Body lines per page from measured heights: lines of `line_height` fit
// from `first_line_top` while they stay above `bottom - footer_height`.
// At least 1.
int32_t MeasuredLinesPerPage(double first_line_top, double bottom, double footer_height,
                             double line_height);

// Pages needed for `lines` body lines; an empty conversation takes one page.
int PageCount(int64_t lines, int32_t lines_per_page);

#endif  // QUILLO_CORE_SETTINGS_PRINT_LAYOUT_H
