#include "gui/frame/splitter_window.h"

#include "gui/frame/window_ids.h"

// clang-format off
wxBEGIN_EVENT_TABLE(SplitterWindow, wxSplitterWindow)
  EVT_SIZE(SplitterWindow::OnSettledSize)
wxEND_EVENT_TABLE()
    // clang-format on

    SplitterWindow::SplitterWindow(wxWindow* parent)
    : wxSplitterWindow(parent, ToolkitId(kId), wxDefaultPosition, wxDefaultSize, wxSP_3D,
                       "splitterWindow") {
  // Dragging the sash onto an edge would otherwise unsplit the panes.
  SetMinimumPaneSize(1);
}

// Height the window gains or loses goes to the conversation, which is what
// people read; the input pane keeps the height the user gave it.
void SplitterWindow::GiveExtraHeightToTheConversation() {
  if (GetSashGravity() > 0) return;
  if (HoldsTheSash()) {
    SetSashGravity(1.0);
  } else {
    gravity_pending_ = true;
  }
}

// Both panes have room on their side of the sash.
bool SplitterWindow::HoldsTheSash() const {
  return IsSplit() && GetClientSize().y > GetSashPosition() + GetSashSize();
}

// The size that first holds the sash is laid out without gravity, so the
// sash stays where it was asked to be.
void SplitterWindow::OnSettledSize(wxSizeEvent& event) {
  wxSplitterWindow::OnSize(event);
  if (gravity_pending_ && HoldsTheSash()) {
    gravity_pending_ = false;
    SetSashGravity(1.0);
  }
}

void SplitterWindow::OnDoubleClickSash(int, int) {}

void SplitterWindow::OnUnsplit(wxWindow*) {}

bool SplitterWindow::OnSashPositionChange(int) { return true; }
