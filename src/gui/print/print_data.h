#ifndef QUILLO_GUI_PRINT_PRINT_DATA_H
#define QUILLO_GUI_PRINT_PRINT_DATA_H

#include <wx/cmndata.h>
#include <wx/font.h>

#include "core/settings/print_settings.h"

// The toolkit side of the page layout: the print data (printer, paper id,
// orientation, copies) that the printer dialogs and print jobs use, kept in
// step with a PrintSettings record.
//
// The main frame owns one instance for the whole run, built after start-up
// has applied the settings file to ProgramSettings::PageLayout; the
// constructor pushes the paper and orientation, which is start-up's push of
// the page-layout keys. The layout record must outlive this object.
class ToolkitPrintData {
 public:
  explicit ToolkitPrintData(PrintSettings& layout);
  ToolkitPrintData(const ToolkitPrintData&) = delete;
  ToolkitPrintData& operator=(const ToolkitPrintData&) = delete;

  PrintSettings& Layout() { return layout_; }
  wxPrintData& Data() { return data_; }

  // Sets the print data's paper id from PaperIndex.
  void PushPaper();
  // Sets the print data's orientation from PageOrientation.
  void PushOrientation();
  // Both pushes: what start-up does once the page-layout keys are read.
  void ApplyPageLayout();

 private:
  PrintSettings& layout_;
  wxPrintData data_;
};

// Paper id for a paper index; Letter for an index outside the table.
wxPaperSize PaperIdForIndex(int32_t index);
// Whether Print and Preview can lay out pages on this paper (Letter, Legal,
// A4, Tabloid, A3).
bool IsSupportedPaper(wxPaperSize id);
// Font family for a family index; Swiss for an index outside the table.
wxFontFamily FontFamilyForIndex(int32_t index);

#endif  // QUILLO_GUI_PRINT_PRINT_DATA_H
