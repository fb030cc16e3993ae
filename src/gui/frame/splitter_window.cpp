#include "gui/frame/splitter_window.h"

#include "gui/frame/window_ids.h"

SplitterWindow::SplitterWindow(wxWindow* parent)
    : wxSplitterWindow(parent, ToolkitId(kId), wxDefaultPosition, wxDefaultSize, wxSP_3D,
                       "splitterWindow") {
  // Dragging the sash onto an edge would otherwise unsplit the panes.
  SetMinimumPaneSize(1);
}

void SplitterWindow::OnDoubleClickSash(int, int) {}

void SplitterWindow::OnUnsplit(wxWindow*) {}

bool SplitterWindow::OnSashPositionChange(int) { return true; }
