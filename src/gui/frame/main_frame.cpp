#include "gui/frame/main_frame.h"

#include <gtk/gtk.h>
#include <sys/resource.h>
#include <sys/utsname.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <ctime>

#include "core/chat/conversation.h"
#include "core/chat/session.h"
#include "core/settings/program_settings.h"
#include "core/settings/settings_file.h"
#include "core/settings/startup.h"
#include "core/thread/thread.h"
#include "core/thread/thread_manager.h"
#include "gui/frame/chat_panel.h"
#include "gui/frame/conversation_window.h"
#include "gui/frame/desktop_notifier.h"
#include "gui/frame/first_show.h"
#include "gui/frame/gui_reporter.h"
#include "gui/frame/gui_text.h"
#include "gui/frame/program_message.h"
#include "gui/frame/shell.h"
#include "gui/frame/splitter_window.h"
#include "gui/frame/toolbar_art.h"
#include "gui/frame/window_ids.h"
#include "gui/panels/config_panel.h"
#include "gui/panels/connect_panel.h"
#include "gui/panels/event_window.h"
#include "gui/panels/invitation_panel.h"
#include "gui/panels/statistics_panel.h"
#include "gui/print/page_setup_panel.h"
#include "gui/print/print_commands.h"
#include "gui/print/print_data.h"

MainFrame* TheMainFrame = nullptr;

namespace {

constexpr int kClockId = 1028;

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

}  // namespace

// clang-format off
wxBEGIN_EVENT_TABLE(MainFrame, wxFrame)
  EVT_CLOSE(MainFrame::OnClose)
  EVT_ICONIZE(MainFrame::OnIconize)
  EVT_ACTIVATE(MainFrame::OnActivate)
  EVT_SIZE(MainFrame::OnSize)
  EVT_MENU(ToolkitId(MainFrame::kExit), MainFrame::OnExit)
  EVT_MENU(ToolkitId(MainFrame::kSave), MainFrame::OnSave)
  EVT_MENU(ToolkitId(MainFrame::kSaveAs), MainFrame::OnSaveAs)
  EVT_MENU(ToolkitId(MainFrame::kPrint), MainFrame::OnPrint)
  EVT_MENU(ToolkitId(MainFrame::kPreview), MainFrame::OnPreview)
  EVT_MENU(ToolkitId(MainFrame::kPageSetup), MainFrame::OnPageSetup)
  EVT_MENU(ToolkitId(MainFrame::kPrinterSetup), MainFrame::OnPrinterSetup)
  EVT_MENU(ToolkitId(MainFrame::kClear), MainFrame::OnClear)
  EVT_MENU(ToolkitId(MainFrame::kViewToolBar), MainFrame::OnViewToolBar)
  EVT_MENU(ToolkitId(MainFrame::kMoveToolBar), MainFrame::OnMoveToolBar)
  EVT_MENU(ToolkitId(MainFrame::kHelpTopics), MainFrame::OnHelpTopics)
  EVT_MENU(ToolkitId(MainFrame::kAbout), MainFrame::OnAbout)
  EVT_MENU(ToolkitId(MainFrame::kContact), MainFrame::OnContact)
  EVT_MENU(ToolkitId(MainFrame::kHomePage), MainFrame::OnHomePage)
  EVT_MENU(ToolkitId(MainFrame::kWinSockInfo), MainFrame::OnWinSockInfo)
  EVT_TIMER(ToolkitId(kClockId), MainFrame::OnClockTick)
wxEND_EVENT_TABLE()
    // clang-format on

    MainFrame::MainFrame(ProgramSettings& settings)
    : wxFrame(nullptr, ToolkitId(kId), GuiText(settings.ProgramTitle),
              wxPoint(settings.MainFrameXPosition, settings.MainFrameYPosition),
              wxSize(settings.MainFrameWidth, settings.MainFrameHeight), wxDEFAULT_FRAME_STYLE),
      settings_(settings),
      print_data_(new ToolkitPrintData(settings.PageLayout)),
      clock_(this, ToolkitId(kClockId)) {
  TheMainFrame = this;
  reporter_ = GuiReporter::Create(
      {[this](const std::string& text) { AppendChatText(text); },
       [this](const std::string& text) { event_window_->AppendText(text); },
       [this](const std::string& text) { SetStatusText(GuiText(text), 0); },
       [](const std::string& a, const std::string& b, const std::string& c) {
         ShowProgramMessage(a, b, c);
       },
       [this](const std::string& sender, const std::string& line) { NotifyLine(sender, line); },
       [this](const std::string& text) {
         SetStatusText(GuiText(text), kPrivacyField);
         private_session_ = text == Conversation::kPrivateStatus;
       }},
      settings.AudioFile);
  session_ = std::make_unique<ChatSession>(*reporter_);
  notifier_ = std::make_unique<DesktopNotifier>([this] { RaiseFromNotice(); });

  tool_bar_horizontal_ = 1;
  tool_bar_rows_ = 1;
  SetIcons(ProgramIcon());
  BuildMenuBar();

  splitter_ = new SplitterWindow(this);
  conversation_ = new ConversationWindow(splitter_, settings.ProgramTitle);
  CreatePanels();
  chat_panel_ = new ChatPanel(splitter_, *this);
  page_setup_panel_ = new PageSetupPanel(this, settings_, *print_data_);
  splitter_->Split(conversation_, chat_panel_, settings.SplitterPosition);
  conversation_->Show();

  if (settings.ViewToolBar == 1) {
    if (settings.ToolBarOrientation == 0) tool_bar_horizontal_ = 0;
    RecreateToolBar();
  }
  GetMenuBar()->Check(ToolkitId(kViewToolBar), settings.ViewToolBar == 1);
  GetMenuBar()->Check(ToolkitId(kMoveToolBar), false);

  BuildStatusBar();
  // The bars' heights are known once the toolkit has shown the frame.
  CallAfter([this] { UpdateMinimumSize(); });
  // The frame and its panels, each shown for the first time later.
  for (wxWindow* window : GetChildren()) {
    if (window->IsTopLevel()) SizeBeforeFirstShow(window);
  }
  SizeBeforeFirstShow(this);
  settings.GreetingText = "Welcome to the " + settings.ScreenName + " Quillo session";
}

MainFrame::~MainFrame() {
  reporter_->Close();
  session_->Close();
  clock_.Stop();
  // The panels hold references to members of this frame.
  DestroyChildren();
  if (TheMainFrame == this) TheMainFrame = nullptr;
}

Reporter& MainFrame::GetReporter() const { return *reporter_; }

void MainFrame::BuildMenuBar() {
  const std::string& title = settings_.ProgramTitle;
  auto* file = new wxMenu;
  file->Append(ToolkitId(kSave), "Save Session\tCtrl+S", "Save conversation ");
  file->Append(ToolkitId(kSaveAs), "Save As\tCtrl+Shift+S", "Save conversation as");
  file->AppendSeparator();
  file->Append(ToolkitId(kExit), "E&xit\tCtrl+Q", "Exit this program");

  auto* view = new wxMenu;
  view->Append(ToolkitId(kClear), "Clear\tCtrl-Z", "Clear the text screen");
  view->AppendSeparator();
  view->AppendCheckItem(ToolkitId(kViewToolBar), "View Toolbar", "Toggle the toolbar on and off");
  view->AppendCheckItem(ToolkitId(kMoveToolBar), "Move Toolbar", "Move the toolbar");

  auto* print = new wxMenu;
  print->Append(ToolkitId(kPrint), "Print\tCtrl+P", "Print converstion to a selected printer");
  print->Append(ToolkitId(kPreview), "Preview", "Preview the document before printing");
  print->Append(ToolkitId(kPageSetup), "Page Setup", "Setup the page options");
  print->Append(ToolkitId(kPrinterSetup), "Printer Setup", "Setup the printer options");

  auto* help = new wxMenu;
  help->Append(ToolkitId(kHelpTopics), "&Help Topics\tF1", "On-line Help");
  help->AppendSeparator();
  help->Append(ToolkitId(kAbout), GuiText("About " + title), "Information about this program");
  help->AppendSeparator();
  help->Append(ToolkitId(kContact), GuiText("Contact " + settings_.VendorName),
               "Contact information");
  help->AppendSeparator();
  help->Append(ToolkitId(kHomePage), GuiText(title + " Home Page"),
               "Visit this program's home page");
  help->AppendSeparator();
  help->Append(ToolkitId(kWinSockInfo), "WinSock Info", "Display your current WinSock version");

  auto* bar = new wxMenuBar;
  bar->Append(file, "&File");
  bar->Append(view, "&View");
  bar->Append(print, "&Print");
  bar->Append(help, "&Help");
  SetMenuBar(bar);
}

void MainFrame::BuildStatusBar() {
  // The session's text, the clock, and how the conversation on the line is
  // protected (private or basic cipher).
  CreateStatusBar(3);
  const int widths[3] = {-1, 100, 170};
  SetStatusWidths(3, widths);
  SetStatusText(GuiText(settings_.ProgramTitle), 0);
  UpdateClock();
  clock_.Start(1000);
}

void MainFrame::CreatePanels() {
  // The Connect and Invitation panels report into the event window.
  event_window_ = new EventWindow(this);
  connect_panel_ = new ::ConnectPanel(this, settings_, *session_, *event_window_, *reporter_);
  stats_panel_ = new StatsPanel(this);
  config_panel_ = new ::ConfigPanel(this, settings_, [this] {
    // The audio switch is the one setting a running session follows.
    session_->SetAudioEnabled(settings_.EnableAudio != 0);
  });
  invitation_panel_ = new ::InvitationPanel(this, settings_, *event_window_, *reporter_);
}

// The smallest frame keeps every control of the chat panel whole and a few
// lines of the conversation in view; the splitter keeps the sash where the
// panel fits.
void MainFrame::UpdateMinimumSize() {
  constexpr int kConversationHeight = 60;
  const wxSize pane = chat_panel_->GetBestSize();
  chat_panel_->SetMinSize(pane);
  conversation_->SetMinSize(wxSize(-1, kConversationHeight));
  const wxSize client(pane.x, kConversationHeight + splitter_->GetSashSize() + pane.y);
  // Menu bar, toolbar, status bar and the desktop's decorations lie outside
  // the client area.
  const wxSize bars = GetSize() - GetClientSize();
  if (GetMinSize() != client + bars) SetMinSize(client + bars);
}

// The desktop's decorations may become known only with the first size the
// shown window really has: the smallest frame follows them.
void MainFrame::OnSize(wxSizeEvent& event) {
  event.Skip();
  if (IsShownOnScreen() && GetMinSize() != wxDefaultSize) UpdateMinimumSize();
}

wxFrame* MainFrame::ConnectPanel() const { return connect_panel_; }
wxFrame* MainFrame::ConfigPanel() const { return config_panel_; }
wxFrame* MainFrame::InvitationPanel() const { return invitation_panel_; }

// The Connect panel refills its list and the Config panel reloads its
// fields on every showing.
void MainFrame::ShowPanel(wxFrame* panel) {
  if (panel == connect_panel_) {
    connect_panel_->FillPreviousConnections();
  } else if (panel == config_panel_) {
    config_panel_->ShowConfigPanel();
  } else {
    panel->Show();
    panel->Raise();
  }
}

void MainFrame::ShowInvitation(const std::string& text) {
  invitation_text_ = text;
  invitation_panel_->ShowInvitation(text);
}

void MainFrame::AppendChatText(const std::string& text) {
  conversation_->AppendBytes(text);
  // A line from the peer while the user looks elsewhere: let the desktop
  // show it on the task bar until the frame is activated. (The toolkit's own
  // RequestUserAttention yields inside this call and leaves a timer behind
  // that may outlive the frame, so the hint is set directly.)
  if (!IsActive()) SetUrgency(true);
}

void MainFrame::SetUrgency(bool urgent) {
  if (urgent == urgent_) return;
  urgent_ = urgent;
  if (GtkWidget* widget = GetHandle()) {
    gtk_window_set_urgency_hint(GTK_WINDOW(widget), urgent ? TRUE : FALSE);
  }
}

// A line nobody is looking at goes to the desktop's notifications as well.
void MainFrame::NotifyLine(const std::string& sender, const std::string& line) {
  if (!settings_.EnableNotifications || active_) return;
  const int32_t text = settings_.NotificationText;
  const bool name_only = text == ProgramSettings::kNoticeNameOnly ||
                         (text == ProgramSettings::kNoticeBySession && private_session_);
  notifier_->Post(ChatLineNotice(sender, line, name_only));
}

void MainFrame::RaiseFromNotice() {
  if (IsIconized()) Iconize(false);
  Show();
  Raise();
  if (GtkWidget* widget = GetHandle()) gtk_window_present(GTK_WINDOW(widget));
}

void MainFrame::OnActivate(wxActivateEvent& event) {
  active_ = event.GetActive();
  if (active_) {
    splitter_->GiveExtraHeightToTheConversation();
    SetUrgency(false);
    notifier_->Withdraw();
  }
  event.Skip();
}

void MainFrame::RecreateToolBar() {
  if (wxToolBar* old = GetToolBar()) {
    SetToolBar(nullptr);
    delete old;
  }
  const long orientation = tool_bar_horizontal_ ? wxTB_HORIZONTAL : wxTB_VERTICAL;
  wxToolBar* bar =
      CreateToolBar(wxBORDER_NONE | wxTB_FLAT | wxTB_DOCKABLE | orientation, ToolkitId(kToolBarId));
  bar->SetMargins(4, 4);
  bar->SetToolBitmapSize(wxSize(16, 16));
  struct Tool {
    int id;
    const char* resource;
    const char* tip;
  };
  const Tool tools[] = {{kSave, "save", "Save Conversation"},
                        {kSaveAs, "saveas", "Save Conversation As"},
                        {0, nullptr, nullptr},
                        {kPrint, "print", "Print"},
                        {kPreview, "preview", "Print Preview"},
                        {kPageSetup, "page", "Page Setup"},
                        {0, nullptr, nullptr},
                        {kClear, "clear", "Clear"},
                        {0, nullptr, nullptr},
                        {kHelpTopics, "help", "Online Help"}};
  for (const Tool& tool : tools) {
    if (!tool.resource) {
      bar->AddSeparator();
      continue;
    }
    bar->AddTool(ToolkitId(tool.id), wxEmptyString, ToolbarBitmap(tool.resource), tool.tip);
  }
  bar->Realize();
  bar->SetRows(tool_bar_horizontal_ ? tool_bar_rows_ : 10 / tool_bar_rows_);
  // The client area moves when the toolbar changes sides.
  SendSizeEvent();
  CallAfter([this] { UpdateMinimumSize(); });
}

void MainFrame::WriteSetting(const std::string& key, const std::string& value) {
  SettingsFile file(settings_.SettingsFilePath);
  if (file.Put(key, value) == 0) {
    ShowProgramMessage(SettingNotSavedText(settings_.SettingsFilePath, errno), " ", " ");
  }
}

void MainFrame::OnViewToolBar(wxCommandEvent&) {
  wxMenuBar* bar = GetMenuBar();
  if (!bar->IsChecked(ToolkitId(kViewToolBar))) {
    bar->Check(ToolkitId(kMoveToolBar), false);
    if (wxToolBar* old = GetToolBar()) {
      SetToolBar(nullptr);
      delete old;
      SendSizeEvent();
      CallAfter([this] { UpdateMinimumSize(); });
    }
    WriteSetting("ViewToolBar", "FALSE");
    return;
  }
  tool_bar_horizontal_ = 1;
  tool_bar_rows_ = 1;
  RecreateToolBar();
  WriteSetting("ViewToolBar", "TRUE");
}

void MainFrame::OnMoveToolBar(wxCommandEvent&) {
  if (settings_.ToolBarOrientation == 0) {
    settings_.ToolBarOrientation = 1;
    WriteSetting("ToolBarOrientation", "Horizontal");
  } else {
    settings_.ToolBarOrientation = 0;
    WriteSetting("ToolBarOrientation", "Vertical");
  }
  tool_bar_horizontal_ = !tool_bar_horizontal_;
  tool_bar_rows_ = 1;
  RecreateToolBar();
}

void MainFrame::OnClear(wxCommandEvent&) { conversation_->Clear(); }

void MainFrame::OnExit(wxCommandEvent&) { Close(true); }

void MainFrame::OnSave(wxCommandEvent&) { SaveConversation(this, conversation_, settings_, false); }

void MainFrame::OnSaveAs(wxCommandEvent&) {
  SaveConversation(this, conversation_, settings_, true);
}

void MainFrame::OnPrint(wxCommandEvent&) {
  PrintConversation(this, conversation_, settings_, *print_data_);
}

void MainFrame::OnPreview(wxCommandEvent&) {
  PreviewConversation(this, conversation_, settings_, *print_data_);
}

void MainFrame::OnPrinterSetup(wxCommandEvent&) { PrinterSetup(this, *print_data_); }

void MainFrame::OnPageSetup(wxCommandEvent&) { page_setup_panel_->ShowPageSetupPanel(); }

void MainFrame::OnHelpTopics(wxCommandEvent&) { OpenWithShell(settings_.HelpFilePath); }

void MainFrame::OnContact(wxCommandEvent&) {
  OpenWithShell("mailto:" + settings_.ContactEmailAddress);
}

void MainFrame::OnHomePage(wxCommandEvent&) { OpenWithShell(settings_.HomePageAddress); }

std::string MainFrame::AboutText() const {
  return Printf("%s version %s for %s\n", settings_.ProgramTitle.c_str(),
                settings_.VersionText.c_str(), settings_.PlatformText.c_str()) +
         "Copyright (c) " + settings_.VendorName + "\n" +
         "Free software for private one-to-one conversations.\n" +
         "Contact: " + settings_.ContactEmailAddress + "\n" +
         "Home page: " + settings_.HomePageAddress + "\n";
}

void MainFrame::OnAbout(wxCommandEvent&) {
  wxMessageDialog box(this, GuiText(AboutText()), "About Box", wxOK | wxICON_INFORMATION);
  box.ShowModal();
}

// Linux has no socket library to start: the box reports the kernel's BSD
// socket interface in the same format, at the version the program asks for.
std::string MainFrame::WinSockInfoText() {
  struct utsname names;
  if (uname(&names) != 0) {
    return Printf("Could not initialize wsock32.dll\nWinSock Error: %d\n", errno);
  }
  struct rlimit limit;
  long sockets = 0;
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0) {
    sockets = limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > INT_MAX
                  ? INT_MAX
                  : static_cast<long>(limit.rlim_cur);
  }
  const std::string description =
      std::string("BSD socket interface of the ") + names.sysname + " kernel " + names.release;
  return Printf(
      "WinSock Version Requested: %d.%d\nCurrent WinSock Version: %d.%d\nDescription: "
      "%s\nSystem Status: %s\nMax number of sockets: %d\nMAX UDP datagram size: %d\n",
      1, 1, 1, 1, description.c_str(), "Running", static_cast<int>(sockets), 65507);
}

void MainFrame::OnWinSockInfo(wxCommandEvent&) {
  wxMessageDialog box(this, GuiText(WinSockInfoText()), "WinSock Information",
                      wxOK | wxICON_INFORMATION);
  box.ShowModal();
}

void MainFrame::UpdateClock() {
  char text[64];
  const time_t now = time(nullptr);
  struct tm local;
  localtime_r(&now, &local);
  if (strftime(text, sizeof text, "%X", &local) == 0) text[0] = '\0';
  SetStatusText(GuiText(text), 1);
}

void MainFrame::OnClockTick(wxTimerEvent&) { UpdateClock(); }

void MainFrame::OnIconize(wxIconizeEvent& event) {
  reporter_->SetMinimised(event.IsIconized());
  event.Skip();
}

bool MainFrame::ConfirmEndingSessions() {
  const SessionState state = session_->State();
  if (state == SessionState::kHostingFree || state == SessionState::kHostingBusy) {
    if (!AskProgramQuestion("You are currently hosting Quillo services.\n Would you like to "
                            "end this session and close the program?")) {
      return false;
    }
    session_->End(nullptr);
  } else if (state == SessionState::kConnectedAsClient) {
    if (!AskProgramQuestion("You are currently connected to Quillo services.\n Would you like "
                            "to end this session and close the program?")) {
      return false;
    }
    session_->End(nullptr);
  }
  return true;
}

void MainFrame::StopWorkers() {
  // A connect the Connect panel still waits for ends here, before its
  // panel goes; the panel's wait sees the frame closing and lets go.
  session_->Close();
  if (Thread* mail = settings_.SendMailThread) {
    ThreadManager manager;
    if (mail->State() != ThreadState::EXITED) manager.CancelThread(mail);
    manager.DestroyThread(mail, false);
    settings_.SendMailThread = nullptr;
  }
}

void MainFrame::WriteGeometry() {
  const wxSize size = GetSize();
  const wxPoint position = GetPosition();
  if (!SaveFrameGeometry(settings_, size.GetWidth(), size.GetHeight(), position.x, position.y,
                         splitter_->GetSashPosition())) {
    ShowProgramMessage(SettingNotSavedText(settings_.SettingsFilePath, errno), " ", " ");
  }
}

void MainFrame::DestroyPanels() {
  // The splitter must not lay out a pane that is gone.
  splitter_->Unsplit(chat_panel_);
  for (wxWindow* panel :
       std::initializer_list<wxWindow*>{chat_panel_, connect_panel_, event_window_, stats_panel_,
                                        config_panel_, invitation_panel_, page_setup_panel_}) {
    panel->Destroy();
  }
}

void MainFrame::OnClose(wxCloseEvent&) {
  if (closing_) return;
  // A No answer keeps the frame and the session as they are, whatever asked
  // for the close.
  if (!ConfirmEndingSessions()) return;
  closing_ = true;
  reporter_->Close();
  clock_.Stop();
  StopWorkers();
  WriteGeometry();
  DestroyPanels();
  Destroy();
}
