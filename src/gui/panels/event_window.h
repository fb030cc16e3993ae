#ifndef QUILLO_GUI_PANELS_EVENT_WINDOW_H
#define QUILLO_GUI_PANELS_EVENT_WINDOW_H

#include <wx/font.h>
#include <wx/frame.h>

#include <cstdint>
#include <string>
#include <vector>

class wxButton;
class wxGauge;
class wxTextCtrl;

// The progress window of a network operation that runs on a worker (connect,
// send an invitation). The waiting panel drives it on the GUI thread: Reset,
// set the gauge range, show, AppendLine, SetRunning(true), then step the
// gauge and watch CancelCount() while it lets the toolkit process events.
// Cancel and the close box both call CancelOrClose: while running they only
// count; otherwise they reset and hide. Created once, hidden, never
// destroyed before the main frame.
class EventWindow : public wxFrame {
 public:
  static constexpr int kId = 161110;
  static constexpr int kCancelId = 161111;

  explicit EventWindow(wxWindow* parent);

  void Reset();
  // Appends the program's bytes and a line end to the message box.
  void AppendLine(const std::string& text);
  // Appends the program's bytes as they stand (workers' lines carry their
  // own line ends).
  void AppendText(const std::string& text);
  // Appends each line and, when there is any, shows the window: what a
  // panel could not list must be seen.
  void ShowLines(const std::vector<std::string>& lines);
  void CancelOrClose();

  void SetRange(int range);
  void SetValue(int value);
  int Range() const;
  int Value() const;

  int32_t CancelCount() const { return cancel_count_; }
  bool Running() const { return running_ != 0; }
  void SetRunning(bool running) { running_ = running ? 1 : 0; }

  wxTextCtrl* MessageBox() const { return messages_; }
  wxButton* CancelButton() const { return cancel_; }

 private:
  void OnCancel(wxCommandEvent& event);
  void OnClose(wxCloseEvent& event);

  wxGauge* gauge_;
  wxTextCtrl* messages_;
  wxButton* cancel_;
  wxFont font_;
  int32_t cancel_count_ = 0;
  int32_t running_ = 0;

  wxDECLARE_EVENT_TABLE();
};

#endif  // QUILLO_GUI_PANELS_EVENT_WINDOW_H
