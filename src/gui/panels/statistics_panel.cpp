#include "gui/panels/statistics_panel.h"

#include <wx/button.h>
#include <wx/panel.h>
#include <wx/statbox.h>
#include <wx/textctrl.h>

#include "gui/frame/gui_text.h"
#include "gui/frame/window_ids.h"
#include "gui/panels/panel_style.h"

// clang-format off
wxBEGIN_EVENT_TABLE(StatsPanel, wxFrame)
  EVT_BUTTON(ToolkitId(StatsPanel::kCloseId), StatsPanel::OnCloseButton)
  EVT_CLOSE(StatsPanel::OnClose)
wxEND_EVENT_TABLE()
    // clang-format on

    StatsPanel::StatsPanel(wxWindow* parent)
    : wxFrame(parent, ToolkitId(kId), "Quillo Online Stats", wxPoint(0, 0), wxSize(400, 420),
              kPanelStyle) {
  auto* panel = new wxPanel(this);
  new wxStaticBox(panel, wxID_ANY, "Chat Session Statistics", wxPoint(8, 4), wxSize(375, 335));
  text_ = new wxTextCtrl(panel, wxID_ANY, wxEmptyString, wxPoint(18, 25), wxSize(355, 300),
                         wxTE_MULTILINE | wxTE_READONLY);
  new wxButton(panel, ToolkitId(kCloseId), "Close", wxPoint(8, 345), wxSize(50, 25));
}

void StatsPanel::ShowText(const std::string& text) {
  text_->Clear();
  text_->AppendText(GuiText(text));
  Show();
  Raise();
}

void StatsPanel::OnCloseButton(wxCommandEvent&) { Hide(); }

void StatsPanel::OnClose(wxCloseEvent& event) {
  if (!event.CanVeto()) {
    event.Skip();
    return;
  }
  event.Veto();
  Hide();
}
