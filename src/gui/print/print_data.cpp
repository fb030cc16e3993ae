#include "gui/print/print_data.h"

ToolkitPrintData::ToolkitPrintData(PrintSettings& layout) : layout_(layout) { ApplyPageLayout(); }

void ToolkitPrintData::PushPaper() { data_.SetPaperId(PaperIdForIndex(layout_.PaperIndex)); }

void ToolkitPrintData::PushOrientation() {
  data_.SetOrientation(layout_.PageOrientation == PrintSettings::kPortrait ? wxPORTRAIT
                                                                           : wxLANDSCAPE);
}

void ToolkitPrintData::ApplyPageLayout() {
  PushOrientation();
  PushPaper();
}

wxPaperSize PaperIdForIndex(int32_t index) {
  static const wxPaperSize kIds[PrintSettings::kPaperCount] = {
      wxPAPER_LETTER, wxPAPER_LEGAL, wxPAPER_TABLOID, wxPAPER_A3, wxPAPER_A4};
  return index >= 0 && index < PrintSettings::kPaperCount ? kIds[index] : wxPAPER_LETTER;
}

bool IsSupportedPaper(wxPaperSize id) {
  return id == wxPAPER_LETTER || id == wxPAPER_LEGAL || id == wxPAPER_A4 || id == wxPAPER_TABLOID ||
         id == wxPAPER_A3;
}

wxFontFamily FontFamilyForIndex(int32_t index) {
  static const wxFontFamily kFamilies[PrintSettings::kFontFamilyCount] = {
      wxFONTFAMILY_SWISS,  wxFONTFAMILY_ROMAN,  wxFONTFAMILY_DECORATIVE,
      wxFONTFAMILY_MODERN, wxFONTFAMILY_SCRIPT, wxFONTFAMILY_DEFAULT};
  return index >= 0 && index < PrintSettings::kFontFamilyCount ? kFamilies[index]
                                                               : wxFONTFAMILY_SWISS;
}
