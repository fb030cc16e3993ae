#include "core/settings/print_layout.h"

#include <cmath>

float MillimetreScale(int printerPpiX, int screenPpiX) {
  const float ratio = static_cast<float>(printerPpiX) / static_cast<float>(screenPpiX);
  return static_cast<float>(printerPpiX) / (ratio * 25.1f);
}

double SurfaceUserScale(int surfaceWidth, int pageWidth, int printerPpiX, int screenPpiX) {
  const double ratio = static_cast<double>(printerPpiX) / screenPpiX;
  return static_cast<double>(surfaceWidth) / pageWidth * ratio;
}

int32_t PreviewLinesPerPage(float mmScale, int pageHeightMm, double topMargin, int32_t fontSize) {
  const double k = 1.7;
  const double bottom = (pageHeightMm - static_cast<int>(topMargin)) * mmScale;
  const int reserve = static_cast<int>(15 / k) + 15;
  const double top = mmScale * topMargin;
  const int lineHeight = static_cast<int>(fontSize + fontSize / k);
  if (lineHeight <= 0) return 1;
  const int lines = static_cast<int>((bottom - reserve - top) / lineHeight);
  return lines > 0 ? lines : 1;
}

int32_t MeasuredLinesPerPage(double firstLineTop, double bottom, double footerHeight,
                             double lineHeight) {
  if (!(lineHeight > 0)) return 1;
  double y = firstLineTop;
  int32_t n = 0;
  // The body ends where the footer's height above the bottom margin begins;
  // the first line is always counted so that every page shows something.
  do {
    y += lineHeight;
    ++n;
  } while (y < bottom - footerHeight);
  return n;
}

int PageCount(int64_t lines, int32_t linesPerPage) {
  if (linesPerPage < 1) linesPerPage = 1;
  if (lines <= linesPerPage) return 1;
  return static_cast<int>((lines + linesPerPage - 1) / linesPerPage);
}
