#include "books/statistics_panel.h"

#include <wx/button.h>
#include <wx/panel.h>
#include <wx/statbox.h>
#include <wx/textctrl.h>

#include "ui/gui_text.h"
#include "ui/window_ids.h"

namespace {
constexpr long kPanelStyle = wxCAPTION | wxSYSTEM_MENU | wxRAISED_BORDER | wxRESIZE_BORDER |
                             wxCLOSE_BOX | wxCLIP_CHILDREN;
}

StatsPanel::StatsPanel(wxWindow* parent)
    : wxFrame(parent, ToolkitId(kId), "Quillo Online Stats", wxPoint(0, 0), wxSize(400, 420),
              kPanelStyle) {
  auto* panel = new wxPanel(this);
  new wxStaticBox(panel, wxID_ANY, "Chat Session Statistics", wxPoint(8, 4), wxSize(375, 335));
  text_ = new wxTextCtrl(panel, wxID_ANY, wxEmptyString, wxPoint(18, 25), wxSize(355, 300),
                         wxTE_MULTILINE | wxTE_READONLY);
  auto* close = new wxButton(panel, ToolkitId(kCloseId), "Close", wxPoint(8, 345),
                             wxSize(50, 25));
  close->Bind(wxEVT_BUTTON, &StatsPanel::OnCloseButton, this);
  Bind(wxEVT_CLOSE_WINDOW, &StatsPanel::OnClose, this);
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
