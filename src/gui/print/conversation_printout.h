#ifndef QUILLO_GUI_PRINT_CONVERSATION_PRINTOUT_H
#define QUILLO_GUI_PRINT_CONVERSATION_PRINTOUT_H

#include <wx/font.h>
#include <wx/print.h>
#include <wx/string.h>

#include <cstdint>
#include <vector>

#include "core/settings/print_settings.h"

class wxDC;
class wxTextCtrl;

// The conversation laid out on pages: a header with the document name and
// the date, the body lines, and a "Page n of m" footer. The printing
// framework drives it page by page, for a print job or a preview.
//
// Units: the drawing surface is scaled so that one logical unit is one
// screen pixel; page positions are millimetres times MillimetreScale().
//
// The text and the page layout are copied at construction, so a preview
// stays consistent while the conversation grows or the layout is edited.
// Lines wider than the page are wrapped (at a blank where there is one) onto
// following lines, which count towards the pages like any other line.
//
// Before pages can be drawn, the printout measures how many lines fit on a
// page from the surface the framework attached (OnPreparePrinting): from
// real font metrics for a print job, arithmetically for a preview.
class ConversationPrintout : public wxPrintout {
 public:
  ConversationPrintout(const wxString& title, const wxTextCtrl& source, const PrintSettings& layout,
                       const wxString& document_name);

  // Sets LinesPerPage() from the attached surface and the metrics the
  // framework gave this printout. False when there is no usable surface or
  // the printer resolution is 0.
  bool MeasureForPrint();
  // Sets LinesPerPage() from the metrics alone (no surface needed). False
  // when the resolutions or the page size are 0.
  bool MeasureForPreview();

  // Whether the measurement at the start of the job failed; the job is then
  // abandoned before its first page.
  bool MeasurementFailed() const { return measurement_failed_; }
  int32_t LinesPerPage() const { return lines_per_page_; }
  int PageCount() const { return page_count_; }
  // The lines as they are printed, after wrapping (valid once prepared).
  const std::vector<wxString>& PrintedLines() const { return printed_lines_; }
  float MillimetreScale() const { return mm_scale_; }

  void OnPreparePrinting() override;
  bool OnBeginDocument(int start_page, int end_page) override;
  bool HasPage(int page) override;
  void GetPageInfo(int* min_page, int* max_page, int* page_from, int* page_to) override;
  bool OnPrintPage(int page) override;

  // The header's date: abbreviated month, day, year and 24-hour time, as
  // in "Dec 05, 2026 07:52:10".
  static wxString DateText(const wxDateTime& when);

  // The page count reported before the lines are laid out.
  static constexpr int kUnknownPageCount = 32000;

 private:
  bool ReadMetrics();
  void SetUpScale(wxDC& dc);
  void WrapLines(wxDC& dc);
  void WrapLine(wxDC& dc, wxString text, wxCoord width);
  wxCoord LineHeight(wxDC& dc, const wxString& text) const;
  void DrawPage(wxDC& dc, int page);
  void DrawHeader(wxDC& dc);
  void DrawFooter(wxDC& dc, int page);

  const PrintSettings layout_;
  const wxString document_name_;
  std::vector<wxString> source_lines_;
  std::vector<wxString> printed_lines_;
  const wxFont body_font_;
  const wxFont item_bar_font_;
  const wxFont page_number_font_;

  int32_t lines_per_page_;
  int page_count_ = 1;
  bool measurement_failed_ = false;
  bool prepared_ = false;

  // Metrics copied by the scale set-up.
  int page_width_mm_ = 0;
  int page_height_mm_ = 0;
  int screen_ppi_x_ = 0;
  int printer_ppi_x_ = 0;
  float mm_scale_ = 0;
};

#endif  // QUILLO_GUI_PRINT_CONVERSATION_PRINTOUT_H
