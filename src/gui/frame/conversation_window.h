#ifndef QUILLO_GUI_FRAME_CONVERSATION_WINDOW_H
#define QUILLO_GUI_FRAME_CONVERSATION_WINDOW_H

#include <wx/font.h>
#include <wx/textctrl.h>

#include <string>

// The transcript of the conversation: a multi-line read-only text control in
// the upper pane of the main frame. Appends go to the end and scroll there.
// Only the GUI thread touches it; workers reach it through the GUI reporter.
class ConversationWindow : public wxTextCtrl {
 public:
  static constexpr int kId = 1026;

  // Starts with the banner line naming the program.
  ConversationWindow(wxWindow* parent, const std::string& program_title);

  // Appends the program's bytes as they stand and scrolls to the end.
  void AppendBytes(const std::string& bytes);

  // The whole transcript as the program's bytes (Save and Print read it).
  std::string TranscriptBytes() const;

 private:
  wxFont font_;
};

#endif  // QUILLO_GUI_FRAME_CONVERSATION_WINDOW_H
