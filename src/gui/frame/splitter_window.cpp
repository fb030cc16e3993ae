#include "gui/frame/splitter_window.h"

#include "gui/frame/window_ids.h"

SplitterWindow::SplitterWindow(wxWindow* parent)
    : wxSplitterWindow(parent, ToolkitId(kId), wxDefaultPosition, wxDefaultSize, wxSP_3D,
                       "splitterWindow") {
  // Dragging the sash onto an edge would otherwise unsplit the panes.
  SetMinimumPaneSize(1);
}

// Height the window gains or loses goes to the conversation, which is what
// people read; the input pane keeps the height the user gave it.
void SplitterWindow::GiveExtraHeightToTheConversation() { SetSashGravity(1.0); }

void SplitterWindow::OnDoubleClickSash(int, int) {}

void SplitterWindow::OnUnsplit(wxWindow*) {}

bool SplitterWindow::OnSashPositionChange(int) { return true; }
