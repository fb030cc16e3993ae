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
                                           const wxString& documentName)
    : wxPrintout(title),
      layout_(layout),
      documentName_(documentName),
      sourceLines_(SplitLines(source.GetValue())),
      bodyFont_(wxFontInfo(layout.FontSize).Family(FontFamilyForIndex(layout.FamilyIndex))),
      itemBarFont_(wxFontInfo(layout.FontSize)
                       .Family(FontFamilyForIndex(layout.FamilyIndex))
                       .Italic()
                       .Bold()),
      pageNumberFont_(wxFontInfo(15).Family(wxFONTFAMILY_SWISS).Bold()),
      linesPerPage_(layout.LinesPerPage) {}

bool ConversationPrintout::ReadMetrics() {
  int screenY = 0, printerY = 0;
  GetPPIScreen(&screenPpiX_, &screenY);
  GetPPIPrinter(&printerPpiX_, &printerY);
  GetPageSizeMM(&pageWidthMm_, &pageHeightMm_);
  return screenPpiX_ > 0 && screenY > 0 && printerPpiX_ > 0 && printerY > 0 && pageWidthMm_ > 0 &&
         pageHeightMm_ > 0;
}

void ConversationPrintout::SetUpScale(wxDC& dc) {
  mmScale_ = ::MillimetreScale(printerPpiX_, screenPpiX_);
  int surfaceWidth = 0, surfaceHeight = 0, pageWidth = 0, pageHeight = 0;
  dc.GetSize(&surfaceWidth, &surfaceHeight);
  GetPageSizePixels(&pageWidth, &pageHeight);
  if (pageWidth <= 0) pageWidth = surfaceWidth;
  const double scale = SurfaceUserScale(surfaceWidth, pageWidth, printerPpiX_, screenPpiX_);
  dc.SetUserScale(scale, scale);
}

bool ConversationPrintout::MeasureForPrint() {
  wxDC* dc = GetDC();
  if (!dc || !dc->IsOk() || !ReadMetrics()) return false;
  dc->SetFont(itemBarFont_);
  SetUpScale(*dc);
  const double top = mmScale_ * layout_.TopMargin + TextHeight(*dc, "Item Bar Font");
  const double bottom = (pageHeightMm_ - static_cast<int>(layout_.TopMargin)) * mmScale_;
  dc->SetFont(pageNumberFont_);
  const wxCoord footerHeight = TextHeight(*dc, "Page Number Font");
  dc->SetFont(bodyFont_);
  const wxCoord lineHeight = TextHeight(*dc, "Printer Font");
  linesPerPage_ = MeasuredLinesPerPage(top, bottom, footerHeight, lineHeight);
  return true;
}

bool ConversationPrintout::MeasureForPreview() {
  if (!ReadMetrics()) return false;
  mmScale_ = ::MillimetreScale(printerPpiX_, screenPpiX_);
  linesPerPage_ = PreviewLinesPerPage(mmScale_, pageHeightMm_, layout_.TopMargin, layout_.FontSize);
  return true;
}

void ConversationPrintout::OnPreparePrinting() {
  prepared_ = true;
  measurementFailed_ = !(IsPreview() ? MeasureForPreview() : MeasureForPrint());
  if (measurementFailed_) {
    pageCount_ = 1;
    return;
  }
  if (wxDC* dc = GetDC()) {
    WrapLines(*dc);
  } else {
    printedLines_ = sourceLines_;
  }
  pageCount_ = ::PageCount(static_cast<int64_t>(printedLines_.size()), linesPerPage_);
}

bool ConversationPrintout::OnBeginDocument(int startPage, int endPage) {
  if (measurementFailed_) return false;
  return wxPrintout::OnBeginDocument(startPage, endPage);
}

bool ConversationPrintout::HasPage(int page) { return page >= 1 && page <= pageCount_; }

void ConversationPrintout::GetPageInfo(int* minPage, int* maxPage, int* pageFrom, int* pageTo) {
  *minPage = 1;
  if (!prepared_) {
    // Asked before the job has a surface to lay the lines out on: the
    // toolkit's "not known yet", so that no page range is fixed too early.
    *maxPage = kUnknownPageCount;
    *pageFrom = 0;
    *pageTo = 0;
    return;
  }
  *maxPage = pageCount_;
  *pageFrom = 1;
  *pageTo = pageCount_;
}

bool ConversationPrintout::OnPrintPage(int page) {
  wxDC* dc = GetDC();
  if (!dc) return false;
  DrawPage(*dc, page);
  return true;
}

void ConversationPrintout::WrapLines(wxDC& dc) {
  dc.SetFont(bodyFont_);
  SetUpScale(dc);
  // Text may reach the right margin, which mirrors the left one.
  const double left = mmScale_ * layout_.LeftMargin;
  const double right = (pageWidthMm_ - static_cast<int>(layout_.LeftMargin)) * mmScale_;
  const wxCoord width = static_cast<wxCoord>(right - left);
  printedLines_.clear();
  for (const wxString& line : sourceLines_) WrapLine(dc, line, width);
}

void ConversationPrintout::WrapLine(wxDC& dc, wxString text, wxCoord width) {
  while (TextWidth(dc, text) > width && text.length() > 1) {
    // The longest prefix that fits, by bisection; one character at least,
    // so that every line makes progress.
    size_t fits = 1, tooLong = text.length();
    while (tooLong - fits > 1) {
      const size_t middle = fits + (tooLong - fits) / 2;
      if (TextWidth(dc, text.Left(middle)) <= width) {
        fits = middle;
      } else {
        tooLong = middle;
      }
    }
    // Break after the last blank inside that prefix when there is one, so
    // words stay whole; the blank stays at the end of the first piece.
    const size_t blank = text.Left(fits).find_last_of(' ');
    if (blank != wxString::npos && blank > 0) fits = blank + 1;
    printedLines_.push_back(text.Left(fits));
    text.erase(0, fits);
  }
  printedLines_.push_back(text);
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
  dc.SetFont(bodyFont_);
  SetUpScale(dc);

  const size_t first = static_cast<size_t>(page - 1) * linesPerPage_;
  const size_t last = static_cast<size_t>(page) * linesPerPage_;
  const double x = mmScale_ * layout_.LeftMargin;
  double y = mmScale_ * layout_.TopMargin;
  const double bottomLimit = (pageHeightMm_ - layout_.TopMargin) * mmScale_;
  for (size_t i = first; i < last && i < printedLines_.size(); ++i) {
    dc.DrawText(printedLines_[i], static_cast<wxCoord>(x), static_cast<wxCoord>(y));
    const wxCoord height = LineHeight(dc, printedLines_[i]);
    y += height;
    // Never below the bottom margin, whatever the measurement said.
    if (y > bottomLimit) y -= height;
  }
  DrawHeader(dc);
  DrawFooter(dc, page);
}

void ConversationPrintout::DrawHeader(wxDC& dc) {
  dc.SetFont(pageNumberFont_);
  const wxCoord y = static_cast<wxCoord>(static_cast<int>(layout_.TopMargin / 2) * mmScale_);
  dc.DrawText(documentName_, static_cast<wxCoord>(mmScale_ * layout_.LeftMargin), y);
  const wxString date = DateText(wxDateTime::Now());
  const double rightEnd = pageWidthMm_ * mmScale_ - (layout_.LeftMargin + 5.0) * mmScale_;
  dc.DrawText(date, static_cast<wxCoord>(rightEnd - TextWidth(dc, date)), y);
}

void ConversationPrintout::DrawFooter(wxDC& dc, int page) {
  dc.SetFont(pageNumberFont_);
  const wxString text = wxString::Format("Page %d of %d", page, pageCount_);
  const int margin = static_cast<int>(layout_.LeftMargin);
  const double left = margin * mmScale_;
  const double right = (pageWidthMm_ - margin) * mmScale_;
  const double x = (left + right - TextWidth(dc, text)) / 2;
  const double y = (pageHeightMm_ - static_cast<int>(layout_.TopMargin)) * mmScale_;
  dc.DrawText(text, static_cast<wxCoord>(x), static_cast<wxCoord>(y));
}

wxString ConversationPrintout::DateText(const wxDateTime& when) {
  return when.Format("%b %d, %Y %H:%M:%S");
}
