// The panels inside a real main frame: the chat panel's commands show them,
// a connection made through the frame sets its status bar, and closing the
// frame while the Connect panel waits neither hangs nor crashes.
#include <wx/statusbr.h>

#include "app/chat_panel.h"
#include "books/config_panel.h"
#include "books/connect_panel.h"
#include "books/event_window.h"
#include "books/invitation_panel.h"
#include "chat/chat_engine.h"
#include "frame_fixture.h"
#include "panel_test_support.h"
#include "ui/gui_text.h"
#include "util/reporter.h"

namespace {

class QuietReporter : public Reporter {
 public:
  void ConversationLine(const std::string&) override {}
  void EventLine(const std::string&) override {}
  void StatusText(const std::string&) override {}
  void ProgramMessage(const std::string&, const std::string&, const std::string&) override {}
  void PlayActivitySound() override {}
  bool MainFrameMinimised() override { return false; }
};

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

TEST_F(FramePanelsTest, TheCommandsShowThePanelsWithCurrentValues) {
  EXPECT_FALSE(Connect()->IsShown());
  EXPECT_FALSE(Config()->IsShown());
  EXPECT_FALSE(Invitation()->IsShown());
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
}

TEST_F(FramePanelsTest, InviteWritesTheInvitationIntoTheMessageBox) {
  frame->GetChatPanel()->Host();
  ASSERT_EQ(1, settings->Hosting.load());
  frame->GetChatPanel()->Invite();
  EXPECT_TRUE(Invitation()->IsShown());
  const std::string text = Text(Invitation()->MessageField());
  EXPECT_NE(std::string::npos, text.find("This is an invitation to join the Ann Quillo session"))
      << text;
  EXPECT_NE(std::string::npos,
            text.find("Port Number: " + std::to_string(settings->QuilloPortNumber)));
}

TEST_F(FramePanelsTest, AConnectionThroughTheFrameSetsTheStatusBar) {
  ProgramSettings host;
  host.QuilloPortNumber = ClosedPort();
  host.ScreenName = "Host";
  host.GreetingText.Set("Welcome to the Host Quillo session");
  QuietReporter quiet;
  OpenHostSession(host, quiet);
  ASSERT_EQ(1, host.Hosting.load());
  StartConnect(std::to_string(host.QuilloPortNumber));
  EXPECT_FALSE(frame->GetEventWindow()->IsShown());
  EXPECT_EQ("Connected to Quillo Session", ProgramText(frame->GetStatusBar()->GetStatusText(0)));
  EXPECT_TRUE(PumpUntil([&] { return Transcript().find("Welcome to the Host") != std::string::npos; }));
  StopChatWorkers(*settings);
  StopChatWorkers(host);
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
