// The panels inside a real main frame: the chat panel's commands show them
// with current values, and closing the frame while Connect waits neither
// hangs nor crashes (a connection through the panel: gui_chat_panel_test).
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
    settings->ScreenName = "Ann";  // the Connect panel asks for one otherwise
    MakeFrame();
  }
  ConnectPanel* Connect() { return static_cast<ConnectPanel*>(frame->ConnectPanel()); }
  ConfigPanel* Config() { return static_cast<ConfigPanel*>(frame->ConfigPanel()); }
};

TEST_F(FramePanelsTest, TheCommandsShowThePanelsWithCurrentValues) {
  frame->GetChatPanel()->Config();
  EXPECT_TRUE(Config()->IsShown());
  Config()->Hide();
  settings->ScreenName = "Bob";
  frame->GetChatPanel()->Config();
  EXPECT_EQ("Bob", Text(Config()->ScreenNameField()));
  frame->GetChatPanel()->Connect();
  EXPECT_TRUE(Connect()->IsShown());
  EXPECT_TRUE(Config()->IsShown());
  Command(MainFrame::kPageSetup);
  EXPECT_TRUE(frame->GetPageSetupPanel()->IsShown());
}

TEST_F(FramePanelsTest, ClosingTheFrameWhileConnectingEndsTheWait) {
  SilentHost silent;
  frame->GetChatPanel()->Connect();
  Connect()->NicknameField()->ChangeValue("host");
  Connect()->AddressField()->ChangeValue("127.0.0.1");
  Connect()->PortField()->ChangeValue(std::to_string(silent.Port()));
  After(300, [this] { frame->Close(); });
  const auto begin = std::chrono::steady_clock::now();
  Click(Connect(), ConnectPanel::kConnectId);
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(5));
  PumpEvents(std::chrono::milliseconds(100));
  EXPECT_FALSE(FrameAlive());
}

}  // namespace
