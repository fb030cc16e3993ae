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

void SplitterWindow::Split(wxWindow* top, wxWindow* bottom, int sash_position) {
  kept_sash_ = sash_position;
  SplitHorizontally(top, bottom, sash_position);
}

// Height the window gains or loses goes to the conversation, which is what
// people read; the input pane keeps the height the user gave it.
void SplitterWindow::GiveExtraHeightToTheConversation() {
  if (GetSashGravity() > 0) return;
  gravity_pending_ = true;
  if (HoldsTheKeptSash()) SettleAndGiveExtraHeight();
}

bool SplitterWindow::HoldsTheKeptSash() const {
  return IsSplit() && GetClientSize().y > kept_sash_ + GetSashSize();
}

// A size too small for the sash has moved it; the first size that holds it
// again puts it back before the window's changes move it.
void SplitterWindow::SettleAndGiveExtraHeight() {
  gravity_pending_ = false;
  if (GetSashPosition() != kept_sash_) SetSashPosition(kept_sash_);
  SetSashGravity(1.0);
}

// The size is laid out first, without gravity.
void SplitterWindow::OnSettledSize(wxSizeEvent& event) {
  wxSplitterWindow::OnSize(event);
  if (gravity_pending_ && HoldsTheKeptSash()) SettleAndGiveExtraHeight();
}

void SplitterWindow::OnDoubleClickSash(int, int) {}

void SplitterWindow::OnUnsplit(wxWindow*) {}

bool SplitterWindow::OnSashPositionChange(int new_sash_position) {
  kept_sash_ = new_sash_position;
  return true;
}
