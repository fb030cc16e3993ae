#ifndef QUILLO_GUI_FRAME_MAIN_FRAME_H
#define QUILLO_GUI_FRAME_MAIN_FRAME_H

#include <wx/frame.h>
#include <wx/timer.h>

#include <memory>
#include <string>

class ChatPanel;
class ChatSession;
class ConfigPanel;
class ConnectPanel;
class ConversationWindow;
class DesktopNotifier;
class EventWindow;
class GuiReporter;
class InvitationPanel;
class PageSetupPanel;
class ProgramSettings;
class Reporter;
class SplitterWindow;
class StatsPanel;
class ToolkitPrintData;

// The program's only main window: the conversation above the splitter's
// sash, the chat panel below it, the menus, the toolbar and a status bar
// with a clock. It creates the secondary panels once, hidden, shows them on
// their commands, routes every menu and toolbar command and runs the close
// sequence. Worker threads reach its windows only through Reporter().
//
// Ownership: the frame owns the chat session and the toolkit print data of
// the run; it builds each session's snapshot from the ProgramSettings it is
// given, which it does not own; the
// application deletes it after the frame is gone. The panels are the frame's
// children and are destroyed by the close sequence.
class MainFrame : public wxFrame {
 public:
  // The program's window and command identifiers; the toolkit sees
  // ToolkitId() of each.
  enum : int {
    kId = 1024,
    kToolBarId = 1027,
    kExit = 1,
    kSave = 15,
    kSaveAs = 16,
    kPrint = 28,
    kPrinterSetup = 29,
    kPageSetup = 30,
    kPreview = 31,
    kClear = 32,
    kViewToolBar = 38,
    kMoveToolBar = 39,
    kContact = 48,
    kHomePage = 49,
    kAbout = 50,
    kHelpTopics = 51,
    kWinSockInfo = 54,
  };
  // The status bar's field that says how the conversation is protected.
  static constexpr int kPrivacyField = 2;

  explicit MainFrame(ProgramSettings& settings);
  ~MainFrame() override;

  ProgramSettings& Settings() const { return settings_; }
  ConversationWindow* Conversation() const { return conversation_; }
  ChatPanel* GetChatPanel() const { return chat_panel_; }
  SplitterWindow* Splitter() const { return splitter_; }
  EventWindow* GetEventWindow() const { return event_window_; }
  StatsPanel* GetStatsPanel() const { return stats_panel_; }
  wxFrame* ConnectPanel() const;
  wxFrame* ConfigPanel() const;
  wxFrame* InvitationPanel() const;
  ::PageSetupPanel* GetPageSetupPanel() const { return page_setup_panel_; }
  ToolkitPrintData& PrintData() const { return *print_data_; }
  // The reporter handed to the chat engine and every worker.
  Reporter& GetReporter() const;
  GuiReporter& GetGuiReporter() const { return *reporter_; }
  // The one chat session of the run; commands come from the GUI thread.
  ChatSession& Session() const { return *session_; }

  // Shows a panel (raised to the front).
  void ShowPanel(wxFrame* panel);
  // The Invite command's text for the Invitation panel, and the panel.
  void ShowInvitation(const std::string& text);
  const std::string& InvitationText() const { return invitation_text_; }
  // Whether the frame asks the desktop for attention (a chat line arrived
  // while it was not the active window).
  bool WantsAttention() const { return urgent_; }
  // Rebuilds the toolbar from scratch after ToolBarHorizontal.
  void RecreateToolBar();
  bool ToolBarHorizontal() const { return tool_bar_horizontal_ != 0; }
  int ToolBarRows() const { return tool_bar_rows_; }

  // The texts of the two information boxes.
  std::string AboutText() const;
  static std::string WinSockInfoText();

 private:
  void BuildMenuBar();
  void BuildStatusBar();
  void UpdateMinimumSize();
  void CreatePanels();
  void WriteSetting(const std::string& key, const std::string& value);
  bool ConfirmEndingSessions();
  // Stops the chat session and the mail thread, joining every worker.
  void StopWorkers();
  void WriteGeometry();
  void DestroyPanels();
  void UpdateClock();
  void AppendChatText(const std::string& text);
  void SetUrgency(bool urgent);
  void NotifyLine(const std::string& sender, const std::string& line);
  void RaiseFromNotice();
  void OnActivate(wxActivateEvent& event);
  void OnSize(wxSizeEvent& event);

  void OnClose(wxCloseEvent& event);
  void OnIconize(wxIconizeEvent& event);
  void OnExit(wxCommandEvent& event);
  void OnSave(wxCommandEvent& event);
  void OnSaveAs(wxCommandEvent& event);
  void OnPrint(wxCommandEvent& event);
  void OnPreview(wxCommandEvent& event);
  void OnPageSetup(wxCommandEvent& event);
  void OnPrinterSetup(wxCommandEvent& event);
  void OnClear(wxCommandEvent& event);
  void OnViewToolBar(wxCommandEvent& event);
  void OnMoveToolBar(wxCommandEvent& event);
  void OnHelpTopics(wxCommandEvent& event);
  void OnAbout(wxCommandEvent& event);
  void OnContact(wxCommandEvent& event);
  void OnHomePage(wxCommandEvent& event);
  void OnWinSockInfo(wxCommandEvent& event);
  void OnClockTick(wxTimerEvent& event);

  ProgramSettings& settings_;
  std::shared_ptr<GuiReporter> reporter_;
  // After the reporter it reports through, so it is closed first.
  std::unique_ptr<ChatSession> session_;
  SplitterWindow* splitter_ = nullptr;
  ConversationWindow* conversation_ = nullptr;
  ChatPanel* chat_panel_ = nullptr;
  EventWindow* event_window_ = nullptr;
  StatsPanel* stats_panel_ = nullptr;
  ::ConnectPanel* connect_panel_ = nullptr;
  ::ConfigPanel* config_panel_ = nullptr;
  ::InvitationPanel* invitation_panel_ = nullptr;
  ::PageSetupPanel* page_setup_panel_ = nullptr;
  std::unique_ptr<ToolkitPrintData> print_data_;
  std::unique_ptr<DesktopNotifier> notifier_;
  std::string invitation_text_;
  wxTimer clock_;
  int32_t tool_bar_horizontal_ = 1;
  int32_t tool_bar_rows_ = 1;
  bool closing_ = false;
  bool urgent_ = false;
  bool active_ = false;  // as the last activation event said
  // As the conversation last said: lines of a private session are
  // announced by name only unless NotificationText says otherwise.
  bool private_session_ = false;

  wxDECLARE_EVENT_TABLE();
};

// The one main frame, set while it exists.
extern MainFrame* TheMainFrame;

#endif  // QUILLO_GUI_FRAME_MAIN_FRAME_H
