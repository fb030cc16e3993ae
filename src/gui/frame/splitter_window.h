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

  // From now on a change of height goes to the upper pane (the
  // conversation). Not from the start: while the frame is built and the
  // desktop adds its decorations the client area shrinks, and the stored
  // sash position must not move with it.
  void GiveExtraHeightToTheConversation();

 private:
  void OnDoubleClickSash(int x, int y) override;
  void OnUnsplit(wxWindow* removed) override;
  bool OnSashPositionChange(int new_sash_position) override;
};

#endif  // QUILLO_GUI_FRAME_SPLITTER_WINDOW_H
