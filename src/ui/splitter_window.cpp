#include "ui/splitter_window.h"

#include "ui/window_ids.h"

SplitterWindow::SplitterWindow(wxWindow* parent)
    : wxSplitterWindow(parent, ToolkitId(kId), wxDefaultPosition, wxDefaultSize, wxSP_3D,
                       "splitterWindow") {}

void SplitterWindow::OnDoubleClickSash(int, int) {}

void SplitterWindow::OnUnsplit(wxWindow*) {}

bool SplitterWindow::OnSashPositionChange(int) { return true; }
