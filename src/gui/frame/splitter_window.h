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

  // Splits with top above the sash at sash_position, the position the
  // splitter keeps until the user drags the sash.
  void Split(wxWindow* top, wxWindow* bottom, int sash_position);

  // From now on a change of height goes to the upper pane (the
  // conversation): at once if the panes hold the kept sash position, else
  // from the first size at which they do, with the sash put back there.
  // Not from the start: while the frame is built and the desktop adds its
  // decorations the client area passes through other sizes, and the stored
  // sash position must not move with them.
  void GiveExtraHeightToTheConversation();

 private:
  bool HoldsTheKeptSash() const;
  void SettleAndGiveExtraHeight();
  void OnSettledSize(wxSizeEvent& event);
  void OnDoubleClickSash(int x, int y) override;
  void OnUnsplit(wxWindow* removed) override;
  bool OnSashPositionChange(int new_sash_position) override;

  int kept_sash_ = 0;  // as last split or dragged
  bool gravity_pending_ = false;

  wxDECLARE_EVENT_TABLE();
};

#endif  // QUILLO_GUI_FRAME_SPLITTER_WINDOW_H
