#include "core/settings/print_layout.h"

#include <cmath>

float MillimetreScale(int printer_ppi_x, int screen_ppi_x) {
  const float ratio = static_cast<float>(printer_ppi_x) / static_cast<float>(screen_ppi_x);
  return static_cast<float>(printer_ppi_x) / (ratio * 25.1f);
}

double SurfaceUserScale(int surface_width, int page_width, int printer_ppi_x, int screen_ppi_x) {
  const double ratio = static_cast<double>(printer_ppi_x) / screen_ppi_x;
  return static_cast<double>(surface_width) / page_width * ratio;
}

int32_t PreviewLinesPerPage(float mm_scale, int page_height_mm, double top_margin,
                            int32_t font_size) {
  const double k = 1.7;
  const double bottom = (page_height_mm - static_cast<int>(top_margin)) * mm_scale;
  const int reserve = static_cast<int>(15 / k) + 15;
  const double top = mm_scale * top_margin;
  const int line_height = static_cast<int>(font_size + font_size / k);
  if (line_height <= 0) return 1;
  const int lines = static_cast<int>((bottom - reserve - top) / line_height);
  return lines > 0 ? lines : 1;
}

int32_t MeasuredLinesPerPage(double first_line_top, double bottom, double footer_height,
                             double line_height) {
  if (!(line_height > 0)) return 1;
  double y = first_line_top;
  int32_t n = 0;
  // The body ends where the footer's height above the bottom margin begins;
  // the first line is always counted so that every page shows something.
  do {
    y += line_height;
    ++n;
  } while (y < bottom - footer_height);
  return n;
}

int PageCount(int64_t lines, int32_t lines_per_page) {
  if (lines_per_page < 1) lines_per_page = 1;
  if (lines <= lines_per_page) return 1;
  return static_cast<int>((lines + lines_per_page - 1) / lines_per_page);
}
