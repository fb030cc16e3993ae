// The panels inside a real main frame: how they are built, the chat panel's
// commands show them, a connection made through the frame sets its status
// bar, and closing the frame while a panel waits neither hangs nor crashes.
#include <wx/statusbr.h>

#include "core/chat/session.h"
#include "gui/frame/chat_panel.h"
#include "gui/frame/gui_text.h"
#include "gui/panels/config_panel.h"
#include "gui/panels/connect_panel.h"
#include "gui/panels/invitation_panel.h"
#include "gui/panels/panel_test_support.h"
#include "gui/panels/statistics_panel.h"
#include "gui/print/page_setup_panel.h"
#include "gui/support/frame_fixture.h"

namespace {

class FramePanelsTest : public FrameTest {
 protected:
  void SetUp() override {
    settings->ScreenName = "Ann";
    MakeFrame();
  }
  ConnectPanel* Connect() { return static_cast<ConnectPanel*>(frame->ConnectPanel()); }
  ConfigPanel* Config() { return static_cast<ConfigPanel*>(frame->ConfigPanel()); }
  InvitationPanel* Invitation() { return static_cast<InvitationPanel*>(frame->InvitationPanel()); }
  void StartConnect(const std::string& port) {
    frame->GetChatPanel()->Connect();
    ASSERT_TRUE(Connect()->IsShown());
    PumpEvents();
    Connect()->NicknameField()->ChangeValue("host");
    Connect()->AddressField()->ChangeValue("127.0.0.1");
    Connect()->PortField()->ChangeValue(port);
    Click(Connect(), ConnectPanel::kConnectId);
  }
};

TEST_F(FramePanelsTest, EveryPanelIsAHiddenChildFrameWithItsTitleIdSizeAndControls) {
  const struct {
    wxFrame* window;
    const char* title;
    int id;
    wxSize size;  // wxDefaultSize: not checked
    bool fixed;   // no minimise or maximise box
    std::vector<int> controls;
  } panels[] = {
      {Connect(),
       "Quillo Connect Panel",
       110000,
       {400, 400},
       true,
       {110001, 110002, 110003, 110004, 110005}},
      {Config(),
       "Quillo Config Panel",
       110000,
       {400, 555},
       true,
       {120001, 120002, 120003, 120004, 120005}},
      {Invitation(),
       "Quillo Invitation Panel",
       130000,
       {400, 440},
       true,
       {130001, 130002, 130003, 130004, 130005}},
      {frame->GetEventWindow(), "Quillo Event Window", 161110, wxDefaultSize, true, {161111}},
      {frame->GetStatsPanel(), "Quillo Online Stats", 140000, {400, 420}, false, {140001}},
      {frame->GetPageSetupPanel(), "Page Setup", PageSetupPanel::kId, wxDefaultSize, false, {}},
  };
  for (const auto& panel : panels) {
    SCOPED_TRACE(panel.title);
    EXPECT_FALSE(panel.window->IsShown());
    EXPECT_EQ(frame, panel.window->GetParent());
    EXPECT_EQ(panel.title, ProgramText(panel.window->GetTitle()));
    EXPECT_EQ(ToolkitId(panel.id), panel.window->GetId());
    if (panel.size != wxDefaultSize) {
      EXPECT_EQ(panel.size, panel.window->GetSize());
    }
    if (panel.fixed) {
      EXPECT_FALSE(panel.window->HasFlag(wxMINIMIZE_BOX));
      EXPECT_FALSE(panel.window->HasFlag(wxMAXIMIZE_BOX));
    }
    for (int id : panel.controls) EXPECT_NE(nullptr, panel.window->FindWindow(ToolkitId(id))) << id;
  }
  EXPECT_EQ("", Text(Connect()->NicknameField()));
  EXPECT_EQ("52917", Text(Connect()->KeyField()));
  EXPECT_TRUE(Invitation()->Recipients()->IsEmpty());
}

TEST_F(FramePanelsTest, TheCommandsShowThePanelsWithCurrentValues) {
  frame->GetChatPanel()->Config();
  EXPECT_TRUE(Config()->IsShown());
  EXPECT_EQ("Ann", Text(Config()->ScreenNameField()));
  Config()->Hide();
  settings->ScreenName = "Bob";
  frame->GetChatPanel()->Config();
  EXPECT_EQ("Bob", Text(Config()->ScreenNameField()));
  frame->GetChatPanel()->Connect();
  EXPECT_TRUE(Connect()->IsShown());
  EXPECT_EQ(std::to_string(settings->QuilloPortNumber), Text(Connect()->PortField()));
  Command(MainFrame::kPageSetup);
  EXPECT_TRUE(frame->GetPageSetupPanel()->IsShown());
}

TEST_F(FramePanelsTest, AConnectionThroughTheFrameClosesTheEventWindowAndSetsTheStatusBar) {
  SessionSnapshot snapshot;
  snapshot.port = FreePort();
  snapshot.screen_name = "Host";
  snapshot.greeting = "Welcome to the Host Quillo session";
  QuietReporter quiet;
  ChatSession host(quiet);
  ASSERT_TRUE(host.Host(snapshot));
  StartConnect(std::to_string(snapshot.port));
  EXPECT_FALSE(frame->GetEventWindow()->IsShown());
  EXPECT_FALSE(frame->GetEventWindow()->Running());
  EXPECT_EQ(SessionState::kConnectedAsClient, frame->Session().State());
  EXPECT_EQ("Connected to Quillo Session", ProgramText(frame->GetStatusBar()->GetStatusText(0)));
  EXPECT_TRUE(
      PumpUntil([&] { return Transcript().find("Welcome to the Host") != std::string::npos; }));
  frame->Session().Close();
  host.Close();
}

TEST_F(FramePanelsTest, ClosingTheFrameWhileConnectingEndsTheWait) {
  SilentHost silent;
  After(300, [this] { frame->Close(); });
  const auto start = std::chrono::steady_clock::now();
  StartConnect(std::to_string(silent.Port()));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  PumpEvents(std::chrono::milliseconds(100));
  EXPECT_FALSE(FrameAlive());
}

// Host pressed while the Connect panel waits is refused, the wait goes on
// untouched, and once it is cancelled hosting works.
TEST_F(FramePanelsTest, HostDuringAConnectWaitIsRefused) {
  SilentHost silent;
  std::string host_box;
  SessionState during = SessionState::kIdle;
  After(300, [&] {
    wxTEST_DIALOG(frame->GetChatPanel()->Host(), ExpectMessage(wxID_OK, &host_box));
    during = frame->Session().State();
    Click(frame->GetEventWindow(), EventWindow::kCancelId);
  });
  StartConnect(std::to_string(silent.Port()));
  EXPECT_EQ("You are currently connected to a Quillo server\n  ", host_box);
  EXPECT_EQ(SessionState::kConnecting, during);
  EXPECT_EQ(SessionState::kIdle, frame->Session().State());
  // The Connect panel kept the silent host's port; host on a free one.
  settings->QuilloPortNumber = FreePort();
  frame->GetChatPanel()->Host();
  EXPECT_EQ(SessionState::kHostingFree, frame->Session().State());
  EXPECT_TRUE(PumpUntil([&] {
    return Transcript().find("Listening on port " + std::to_string(settings->QuilloPortNumber)) !=
           std::string::npos;
  }));
  EXPECT_EQ(Transcript().find("Could not"), std::string::npos);
}

TEST_F(FramePanelsTest, ClosingTheFrameWhileSendingEndsTheWait) {
  SilentHost silent;
  settings->MailServer = "127.0.0.1";
  settings->MailServerPortNumber = silent.Port();
  settings->ReturnEmailAddress = "ann@example.org";
  frame->ShowInvitation("Come and talk\n");
  PumpEvents();
  Invitation()->EmailField()->ChangeValue("guest@example.org");
  After(300, [this] { frame->Close(); });
  const auto start = std::chrono::steady_clock::now();
  Click(Invitation(), InvitationPanel::kSendId);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(nullptr, settings->SendMailThread);
  PumpEvents(std::chrono::milliseconds(100));
  EXPECT_FALSE(FrameAlive());
}

}  // namespace
