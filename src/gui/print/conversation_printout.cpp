#include "gui/print/conversation_printout.h"

#include <wx/dc.h>
#include <wx/textctrl.h>

#include "core/settings/print_layout.h"
#include "gui/print/print_data.h"

namespace {

// The conversation as lines: one per line end, without an empty line after
// the final line end, which would print nothing.
std::vector<wxString> SplitLines(const wxString& text) {
  std::vector<wxString> lines;
  wxString line;
  for (wxString::const_iterator it = text.begin(); it != text.end(); ++it) {
    const wxUniChar c = *it;
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else if (c != '\r') {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

wxCoord TextWidth(wxDC& dc, const wxString& text) {
  wxCoord width = 0, height = 0;
  dc.GetTextExtent(text, &width, &height);
  return width;
}

wxCoord TextHeight(wxDC& dc, const wxString& text) {
  wxCoord width = 0, height = 0;
  dc.GetTextExtent(text, &width, &height);
  return height;
}

}  // namespace

ConversationPrintout::ConversationPrintout(const wxString& title, const wxTextCtrl& source,
                                           const PrintSettings& layout,
                                           const wxString& document_name)
    : wxPrintout(title),
      layout_(layout),
      document_name_(document_name),
      source_lines_(SplitLines(source.GetValue())),
      body_font_(wxFontInfo(layout.FontSize).Family(FontFamilyForIndex(layout.FamilyIndex))),
      item_bar_font_(wxFontInfo(layout.FontSize)
                         .Family(FontFamilyForIndex(layout.FamilyIndex))
                         .Italic()
                         .Bold()),
      page_number_font_(wxFontInfo(15).Family(wxFONTFAMILY_SWISS).Bold()),
      lines_per_page_(layout.LinesPerPage) {}

bool ConversationPrintout::ReadMetrics() {
  int screen_y = 0, printer_y = 0;
  GetPPIScreen(&screen_ppi_x_, &screen_y);
  GetPPIPrinter(&printer_ppi_x_, &printer_y);
  GetPageSizeMM(&page_width_mm_, &page_height_mm_);
  return screen_ppi_x_ > 0 && screen_y > 0 && printer_ppi_x_ > 0 && printer_y > 0 &&
         page_width_mm_ > 0 && page_height_mm_ > 0;
}

void ConversationPrintout::SetUpScale(wxDC& dc) {
  mm_scale_ = ::MillimetreScale(printer_ppi_x_, screen_ppi_x_);
  int surface_width = 0, surface_height = 0, page_width = 0, page_height = 0;
  dc.GetSize(&surface_width, &surface_height);
  GetPageSizePixels(&page_width, &page_height);
  if (page_width <= 0) page_width = surface_width;
  const double scale = SurfaceUserScale(surface_width, page_width, printer_ppi_x_, screen_ppi_x_);
  dc.SetUserScale(scale, scale);
}

bool ConversationPrintout::MeasureForPrint() {
  wxDC* dc = GetDC();
  if (!dc || !dc->IsOk() || !ReadMetrics()) return false;
  dc->SetFont(item_bar_font_);
  SetUpScale(*dc);
  const double top = mm_scale_ * layout_.TopMargin + TextHeight(*dc, "Item Bar Font");
  const double bottom = (page_height_mm_ - static_cast<int>(layout_.TopMargin)) * mm_scale_;
  dc->SetFont(page_number_font_);
  const wxCoord footer_height = TextHeight(*dc, "Page Number Font");
  dc->SetFont(body_font_);
  const wxCoord line_height = TextHeight(*dc, "Printer Font");
  lines_per_page_ = MeasuredLinesPerPage(top, bottom, footer_height, line_height);
  return true;
}

bool ConversationPrintout::MeasureForPreview() {
  if (!ReadMetrics()) return false;
  mm_scale_ = ::MillimetreScale(printer_ppi_x_, screen_ppi_x_);
  lines_per_page_ =
      PreviewLinesPerPage(mm_scale_, page_height_mm_, layout_.TopMargin, layout_.FontSize);
  return true;
}

void ConversationPrintout::OnPreparePrinting() {
  prepared_ = true;
  measurement_failed_ = !(IsPreview() ? MeasureForPreview() : MeasureForPrint());
  if (measurement_failed_) {
    page_count_ = 1;
    return;
  }
  if (wxDC* dc = GetDC()) {
    WrapLines(*dc);
  } else {
    printed_lines_ = source_lines_;
  }
  page_count_ = ::PageCount(static_cast<int64_t>(printed_lines_.size()), lines_per_page_);
}

bool ConversationPrintout::OnBeginDocument(int start_page, int end_page) {
  if (measurement_failed_) return false;
  return wxPrintout::OnBeginDocument(start_page, end_page);
}

bool ConversationPrintout::HasPage(int page) { return page >= 1 && page <= page_count_; }

void ConversationPrintout::GetPageInfo(int* min_page, int* max_page, int* page_from, int* page_to) {
  *min_page = 1;
  if (!prepared_) {
    // Asked before the job has a surface to lay the lines out on: the
    // toolkit's "not known yet", so that no page range is fixed too early.
    *max_page = kUnknownPageCount;
    *page_from = 0;
    *page_to = 0;
    return;
  }
  *max_page = page_count_;
  *page_from = 1;
  *page_to = page_count_;
}

bool ConversationPrintout::OnPrintPage(int page) {
  wxDC* dc = GetDC();
  if (!dc) return false;
  DrawPage(*dc, page);
  return true;
}

void ConversationPrintout::WrapLines(wxDC& dc) {
  dc.SetFont(body_font_);
  SetUpScale(dc);
  // Text may reach the right margin, which mirrors the left one.
  const double left = mm_scale_ * layout_.LeftMargin;
  const double right = (page_width_mm_ - static_cast<int>(layout_.LeftMargin)) * mm_scale_;
  const wxCoord width = static_cast<wxCoord>(right - left);
  printed_lines_.clear();
  for (const wxString& line : source_lines_) WrapLine(dc, line, width);
}

void ConversationPrintout::WrapLine(wxDC& dc, wxString text, wxCoord width) {
  while (TextWidth(dc, text) > width && text.length() > 1) {
    // The longest prefix that fits, by bisection; one character at least,
    // so that every line makes progress.
    size_t fits = 1, too_long = text.length();
    while (too_long - fits > 1) {
      const size_t middle = fits + (too_long - fits) / 2;
      if (TextWidth(dc, text.Left(middle)) <= width) {
        fits = middle;
      } else {
        too_long = middle;
      }
    }
    // Break after the last blank inside that prefix when there is one, so
    // words stay whole; the blank stays at the end of the first piece.
    const size_t blank = text.Left(fits).find_last_of(' ');
    if (blank != wxString::npos && blank > 0) fits = blank + 1;
    printed_lines_.push_back(text.Left(fits));
    text.erase(0, fits);
  }
  printed_lines_.push_back(text);
}

wxCoord ConversationPrintout::LineHeight(wxDC& dc, const wxString& text) const {
  // An empty line still takes a line's height.
  const wxCoord height = TextHeight(dc, text);
  return height > 0 ? height : TextHeight(dc, "Printer Font");
}

void ConversationPrintout::DrawPage(wxDC& dc, int page) {
  if (!ReadMetrics()) return;
  if (!prepared_) OnPreparePrinting();
  dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
  dc.SetTextForeground(*wxBLACK);
  dc.SetFont(body_font_);
  SetUpScale(dc);

  const size_t first = static_cast<size_t>(page - 1) * lines_per_page_;
  const size_t last = static_cast<size_t>(page) * lines_per_page_;
  const double x = mm_scale_ * layout_.LeftMargin;
  double y = mm_scale_ * layout_.TopMargin;
  const double bottom_limit = (page_height_mm_ - layout_.TopMargin) * mm_scale_;
  for (size_t i = first; i < last && i < printed_lines_.size(); ++i) {
    dc.DrawText(printed_lines_[i], static_cast<wxCoord>(x), static_cast<wxCoord>(y));
    const wxCoord height = LineHeight(dc, printed_lines_[i]);
    y += height;
    // Never below the bottom margin, whatever the measurement said.
    if (y > bottom_limit) y -= height;
  }
  DrawHeader(dc);
  DrawFooter(dc, page);
}

void ConversationPrintout::DrawHeader(wxDC& dc) {
  dc.SetFont(page_number_font_);
  const wxCoord y = static_cast<wxCoord>(static_cast<int>(layout_.TopMargin / 2) * mm_scale_);
  dc.DrawText(document_name_, static_cast<wxCoord>(mm_scale_ * layout_.LeftMargin), y);
  const wxString date = DateText(wxDateTime::Now());
  const double right_end = page_width_mm_ * mm_scale_ - (layout_.LeftMargin + 5.0) * mm_scale_;
  dc.DrawText(date, static_cast<wxCoord>(right_end - TextWidth(dc, date)), y);
}

void ConversationPrintout::DrawFooter(wxDC& dc, int page) {
  dc.SetFont(page_number_font_);
  const wxString text = wxString::Format("Page %d of %d", page, page_count_);
  const int margin = static_cast<int>(layout_.LeftMargin);
  const double left = margin * mm_scale_;
  const double right = (page_width_mm_ - margin) * mm_scale_;
  const double x = (left + right - TextWidth(dc, text)) / 2;
  const double y = (page_height_mm_ - static_cast<int>(layout_.TopMargin)) * mm_scale_;
  dc.DrawText(text, static_cast<wxCoord>(x), static_cast<wxCoord>(y));
}

wxString ConversationPrintout::DateText(const wxDateTime& when) {
  return when.Format("%b %d, %Y %H:%M:%S");
}
