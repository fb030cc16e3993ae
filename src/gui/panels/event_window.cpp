#include "gui/panels/event_window.h"

#include <wx/button.h>
#include <wx/gauge.h>
#include <wx/panel.h>
#include <wx/statbox.h>
#include <wx/textctrl.h>

#include "gui/frame/gui_text.h"
#include "gui/frame/window_ids.h"
#include "gui/panels/panel_style.h"

// clang-format off
wxBEGIN_EVENT_TABLE(EventWindow, wxFrame)
  EVT_BUTTON(ToolkitId(EventWindow::kCancelId), EventWindow::OnCancel)
  EVT_CLOSE(EventWindow::OnClose)
wxEND_EVENT_TABLE()
    // clang-format on

    EventWindow::EventWindow(wxWindow* parent)
    : wxFrame(parent, ToolkitId(kId), "Quillo Event Window", wxPoint(50, 50), wxSize(350, 320),
              kPanelStyle),
      font_(10, wxFONTFAMILY_SWISS, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL) {
  // A panel as the only child gives the frame its usual background and
  // keyboard navigation; the controls keep their fixed positions in it.
  auto* panel = new wxPanel(this);
  new wxStaticBox(panel, wxID_ANY, "Progress Monitor", wxPoint(7, 12), wxSize(330, 230));
  gauge_ = new wxGauge(panel, wxID_ANY, 1000, wxPoint(16, 30), wxSize(310, 44),
                       wxGA_HORIZONTAL | wxBORDER_NONE);
  messages_ = new wxTextCtrl(panel, wxID_ANY, wxEmptyString, wxPoint(16, 82), wxSize(310, 150),
                             wxTE_MULTILINE | wxTE_READONLY);
  messages_->SetFont(font_);
  cancel_ = new wxButton(panel, ToolkitId(kCancelId), "Cancel", wxPoint(142, 255), wxSize(46, 25));
}

void EventWindow::Reset() {
  cancel_count_ = 0;
  running_ = 0;
  gauge_->SetValue(0);
  messages_->Clear();
}

void EventWindow::AppendLine(const std::string& text) { AppendText(text + "\n"); }

void EventWindow::ShowLines(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) AppendLine(line);
  if (!lines.empty()) Show();
}

void EventWindow::AppendText(const std::string& text) {
  if (text.empty()) return;
  messages_->AppendText(GuiText(text));
  messages_->ShowPosition(messages_->GetLastPosition());
}

void EventWindow::CancelOrClose() {
  if (running_) {
    ++cancel_count_;
    return;
  }
  Reset();
  Hide();
}

void EventWindow::SetRange(int range) { gauge_->SetRange(range); }
void EventWindow::SetValue(int value) { gauge_->SetValue(value); }
int EventWindow::Range() const { return gauge_->GetRange(); }
int EventWindow::Value() const { return gauge_->GetValue(); }

void EventWindow::OnCancel(wxCommandEvent&) { CancelOrClose(); }

void EventWindow::OnClose(wxCloseEvent& event) {
  // The main frame destroys its panels itself at the end of the run.
  if (!event.CanVeto()) {
    event.Skip();
    return;
  }
  event.Veto();
  CancelOrClose();
}
