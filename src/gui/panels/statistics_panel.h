#ifndef QUILLO_GUI_PANELS_STATISTICS_PANEL_H
#define QUILLO_GUI_PANELS_STATISTICS_PANEL_H

#include <wx/frame.h>

#include <string>

class wxTextCtrl;

// "Quillo Online Stats": a read-only text about the current chat session,
// written by the Stats command. Close and the close box hide it; created
// once, hidden, and destroyed with the main frame.
class StatsPanel : public wxFrame {
 public:
  static constexpr int kId = 140000;
  static constexpr int kCloseId = 140001;

  explicit StatsPanel(wxWindow* parent);

  // Replaces the text with the given lines (the program's bytes, each line
  // already ending with its line end) and shows the panel.
  void ShowText(const std::string& text);

  wxTextCtrl* Text() const { return text_; }

 private:
  void OnCloseButton(wxCommandEvent& event);
  void OnClose(wxCloseEvent& event);

  wxTextCtrl* text_;

  wxDECLARE_EVENT_TABLE();
};

#endif  // QUILLO_GUI_PANELS_STATISTICS_PANEL_H
