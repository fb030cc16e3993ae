#ifndef QUILLO_GUI_FRAME_SPLITTER_WINDOW_H
#define QUILLO_GUI_FRAME_SPLITTER_WINDOW_H

#include <wx/splitter.h>

// The main frame's splitter. The two panes always stay split: a double click
// on the sash and the unsplit notification do nothing, and every sash
// position asked for is accepted.
class SplitterWindow : public wxSplitterWindow {
 public:
  static constexpr int kId = 1025;

  explicit SplitterWindow(wxWindow* parent);

 private:
  void OnDoubleClickSash(int x, int y) override;
  void OnUnsplit(wxWindow* removed) override;
  bool OnSashPositionChange(int new_sash_position) override;
};

#endif  // QUILLO_GUI_FRAME_SPLITTER_WINDOW_H
