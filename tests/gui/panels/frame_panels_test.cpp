// The panels inside a real main frame: the chat panel's commands show them
// with current values, a connection made through the frame sets its status
// bar, and closing the frame while Connect waits neither hangs nor crashes.
#include <wx/statusbr.h>

#include "core/chat/session.h"
#include "gui/frame/chat_panel.h"
#include "gui/panels/config_panel.h"
#include "gui/panels/connect_panel.h"
#include "gui/panels/panel_test_support.h"
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
  void StartConnect(int port) {
    frame->GetChatPanel()->Connect();
    ASSERT_TRUE(Connect()->IsShown());
    Connect()->NicknameField()->ChangeValue("host");
    Connect()->AddressField()->ChangeValue("127.0.0.1");
    Connect()->PortField()->ChangeValue(std::to_string(port));
    Click(Connect(), ConnectPanel::kConnectId);
  }
  // Runs start while the frame is closed under it after 300 ms.
  void CloseWhile(const std::function<void()>& start) {
    After(300, [this] { frame->Close(); });
    const auto begin = std::chrono::steady_clock::now();
    start();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(5));
    PumpEvents(std::chrono::milliseconds(100));
    EXPECT_FALSE(FrameAlive());
  }
};

TEST_F(FramePanelsTest, TheCommandsShowThePanelsWithCurrentValues) {
  frame->GetChatPanel()->Config();
  EXPECT_TRUE(Config()->IsShown());
  Config()->Hide();
  settings->ScreenName = "Bob";
  settings->QuilloPortNumber = 4000;
  frame->GetChatPanel()->Config();
  EXPECT_EQ("Bob", Text(Config()->ScreenNameField()));
  frame->GetChatPanel()->Connect();
  EXPECT_TRUE(Connect()->IsShown());
  EXPECT_TRUE(Config()->IsShown());
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
  StartConnect(snapshot.port);
  EXPECT_FALSE(frame->GetEventWindow()->IsShown());
  EXPECT_EQ(SessionState::kConnectedAsClient, frame->Session().State());
  EXPECT_EQ("Connected to Quillo Session", ProgramText(frame->GetStatusBar()->GetStatusText(0)));
  EXPECT_TRUE(
      PumpUntil([&] { return Transcript().find("Welcome to the Host") != std::string::npos; }));
  frame->Session().Close();
  host.Close();
}

TEST_F(FramePanelsTest, ClosingTheFrameWhileConnectingEndsTheWait) {
  SilentHost silent;
  CloseWhile([&] { StartConnect(silent.Port()); });
}

}  // namespace
