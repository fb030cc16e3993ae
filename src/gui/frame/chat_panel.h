#ifndef QUILLO_GUI_FRAME_CHAT_PANEL_H
#define QUILLO_GUI_FRAME_CHAT_PANEL_H

#include <wx/panel.h>

#include <string>

class ChatSession;
class MainFrame;
class ProgramSettings;
class Reporter;
class wxButton;
class wxCheckBox;
class wxSizer;
class wxTextCtrl;

// The lower pane of the main frame: the input box, "<Send>", the Enter
// switch and the session commands Host, Connect, Config, Invite, End and
// Stats, laid out by sizers: the input box takes the panel's width and the
// height left over, the rest keep their natural sizes. Every handler runs on the GUI
// thread and leaves the work to the chat engine, which reports through the
// frame's reporter.
class ChatPanel : public wxPanel {
 public:
  enum : int {
    kId = 100000,
    kInputId = 100001,
    kSendId = 100002,
    kHostId = 100003,
    kConnectId = 100004,
    kConfigId = 100005,
    kInviteId = 100006,
    kEndId = 100007,
    kStatsId = 100008,
  };

  ChatPanel(wxWindow* parent, MainFrame& frame);

  wxTextCtrl* Input() const { return input_; }
  wxCheckBox* MultiLine() const { return multi_line_; }

  // The commands, as their buttons run them.
  void Send();
  void Host();
  void Connect();
  void Config();
  void Invite();
  void End();
  void Stats();

  // The screen-name prompt of Host and Connect, shown only while the name is
  // still the built-in one. On OK the name is taken (cut to the longest
  // whole-character prefix of at most 24 bytes) and written to the settings
  // file.
  void PromptScreenName(bool for_host);

  // The longest prefix of text of at most max_bytes bytes that does not cut
  // a UTF-8 character in two.
  static std::string CutOnCharacter(const std::string& text, size_t max_bytes);

 private:
  wxSizer* BuildSessionBox();
  void OnSend(wxCommandEvent&) { Send(); }
  void OnHost(wxCommandEvent&) { Host(); }
  void OnConnect(wxCommandEvent&) { Connect(); }
  void OnConfig(wxCommandEvent&) { Config(); }
  void OnInvite(wxCommandEvent&) { Invite(); }
  void OnEnd(wxCommandEvent&) { End(); }
  void OnStats(wxCommandEvent&) { Stats(); }
  void OnInputChanged(wxCommandEvent& event);
  void OnCharHook(wxKeyEvent& event);

  MainFrame& frame_;
  ProgramSettings& settings_;
  ChatSession& session_;
  wxTextCtrl* input_;
  wxCheckBox* multi_line_;
  bool send_pending_ = false;

  wxDECLARE_EVENT_TABLE();
};

#endif  // QUILLO_GUI_FRAME_CHAT_PANEL_H
