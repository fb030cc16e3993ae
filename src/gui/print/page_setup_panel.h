#ifndef QUILLO_GUI_PRINT_PAGE_SETUP_PANEL_H
#define QUILLO_GUI_PRINT_PAGE_SETUP_PANEL_H

#include <wx/frame.h>

class wxButton;
class wxChoice;
class wxCloseEvent;
class wxCommandEvent;
class wxSlider;
class wxTextCtrl;
class ProgramSettings;
class ToolkitPrintData;

// The Page Setup panel: font size, left margin, orientation, font, paper
// and the document name printed in each page header. The main frame creates
// it once, hidden; ShowPageSetupPanel() shows it and closing only hides it.
// Edits take effect only when committed (Accept, or Close answered Yes),
// and each committed change is written under its settings key at once.
//
// The panel keeps references to the settings and the print data; both must
// outlive it.
class PageSetupPanel : public wxFrame {
 public:
  enum : int {
    kId = 980000,
    kAccept = 980001,
    kCancel = 980002,
    kClose = 980003,
    kDefault = 980004,
  };

  PageSetupPanel(wxWindow* parent, ProgramSettings& settings, ToolkitPrintData& print);

  // The Page Setup command (id 30): reload the controls from the stored
  // values, then show the panel.
  void ShowPageSetupPanel();

  // The number of controls whose value differs from the stored one.
  int CountChanges() const;

  // The controls, for tests.
  wxSlider* FontSizeSlider() const { return font_size_; }
  wxSlider* MarginSlider() const { return margin_; }
  wxChoice* OrientationList() const { return orientation_; }
  wxChoice* FontList() const { return font_; }
  wxChoice* PaperList() const { return paper_; }
  wxTextCtrl* DocumentNameField() const { return document_name_; }

 private:
  void CreateControls();
  void LoadControls();
  void Commit();

  void OnAccept(wxCommandEvent& event);
  void OnCancel(wxCommandEvent& event);
  void OnCloseButton(wxCommandEvent& event);
  void OnDefault(wxCommandEvent& event);
  void OnCloseWindow(wxCloseEvent& event);
  void CloseAsking();

  ProgramSettings& settings_;
  ToolkitPrintData& print_;
  wxSlider* font_size_ = nullptr;
  wxSlider* margin_ = nullptr;
  wxChoice* orientation_ = nullptr;
  wxChoice* font_ = nullptr;
  wxChoice* paper_ = nullptr;
  wxTextCtrl* document_name_ = nullptr;

  wxDECLARE_EVENT_TABLE();
};

#endif  // QUILLO_GUI_PRINT_PAGE_SETUP_PANEL_H
