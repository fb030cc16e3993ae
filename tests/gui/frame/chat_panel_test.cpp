// The chat panel and the session commands through the real windows: a host
// frame and a client frame in one process talk over loopback, the client
// calling through its Connect panel. The commands' texts and the session
// rules are checked without windows in tests/core/chat, the close question by
// the end-to-end "window" scenario; here, that the input box, the panel and
// both windows are wired to them.
#include "gui/frame/chat_panel.h"

#include <wx/checkbox.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>

#include "core/chat/session.h"
#include "gui/frame/conversation_window.h"
#include "gui/panels/connect_panel.h"
#include "gui/panels/event_window.h"
#include "gui/support/frame_fixture.h"

namespace {

bool Shows(MainFrame* frame, const std::string& text) {
  return PumpUntil(
      [&] { return frame->Conversation()->TranscriptBytes().find(text) != std::string::npos; });
}

// Types text at the end of the input box as a user would.
void Type(ChatPanel& panel, const std::string& text) {
  panel.Input()->AppendText(GuiText(text));
  PumpEvents(std::chrono::milliseconds(30));
}

// Two frames, each on its own settings: "Ann" hosts, "Bob" connects.
class ChatSessionTest : public testing::Test {
 protected:
  void SetUp() override {
    host_settings->ScreenName = "Ann";
    client_settings->ScreenName = "Bob";
    client_settings->QuilloPortNumber = host_settings->QuilloPortNumber;
    host = new MainFrame(*host_settings);
    client = new MainFrame(*client_settings);
    for (MainFrame* frame : {host, client}) frame->Show();
  }
  void TearDown() override {
    for (MainFrame* frame : {host, client}) frame->Session().Close(), frame->Destroy();
    PumpEvents(std::chrono::milliseconds(20));
  }

  TempDir host_dir, client_dir;
  std::unique_ptr<ProgramSettings> host_settings = TestSettings(host_dir);
  std::unique_ptr<ProgramSettings> client_settings = TestSettings(client_dir);
  MainFrame* host = nullptr;
  MainFrame* client = nullptr;
};

TEST_F(ChatSessionTest, EnterRulesOfTheInputBoxAndLinesInBothWindows) {
  ChatPanel& hosting = *host->GetChatPanel();
  std::string message;
  wxTEST_DIALOG(Type(hosting, "hello\n"), ExpectMessage(wxID_OK, &message));
  EXPECT_EQ("You are not connected to any Quillo services\n  ", message);
  EXPECT_EQ("hello\n", Text(hosting.Input()));  // kept for a later try
  hosting.Input()->Clear();
  hosting.Host();
  ASSERT_TRUE(PumpUntil([&] { return host->Session().State() == SessionState::kHostingFree; }));
  // The Connect command shows the panel; once connected, the event window
  // closes and the status bar says so.
  ChatPanel& panel = *client->GetChatPanel();
  panel.Connect();
  auto* connect = static_cast<ConnectPanel*>(client->ConnectPanel());
  ASSERT_TRUE(connect->IsShown());
  connect->NicknameField()->ChangeValue("annsline");
  connect->AddressField()->ChangeValue("127.0.0.1");
  connect->PortField()->ChangeValue(std::to_string(host_settings->QuilloPortNumber));
  Click(connect, ConnectPanel::kConnectId);
  EXPECT_FALSE(client->GetEventWindow()->IsShown());
  EXPECT_EQ(SessionState::kConnectedAsClient, client->Session().State());
  EXPECT_EQ("Connected to Quillo Session", ProgramText(client->GetStatusBar()->GetStatusText(0)));
  ASSERT_TRUE(Shows(client, "Welcome to the Ann"));
  ASSERT_TRUE(
      PumpUntil([&] { return host->Session().LineBusy() && client->Session().LineBusy(); }));
  // Enter after a word sends the word alone and clears the box.
  Type(panel, "word\n");
  ASSERT_TRUE(Shows(host, "Bob Says>\nword\n\n"));
  EXPECT_EQ("", Text(panel.Input()));
  Type(hosting, "reply from Ann\n");
  ASSERT_TRUE(Shows(client, "Ann Says>\nreply from Ann\n\n"));
  const std::string seen = client->Conversation()->TranscriptBytes();
  EXPECT_LT(seen.find("Bob Says>\nword\n\n"), seen.find("Ann Says>\nreply"));
  // With multi-line processing on, Enter only adds a line; Send sends all
  // lines minus one final line end.
  panel.MultiLine()->SetValue(true);
  Type(panel, "one\n");
  Type(panel, "two\n");
  EXPECT_EQ("one\ntwo\n", Text(panel.Input()));
  panel.Send();
  ASSERT_TRUE(Shows(host, "Bob Says>\none\ntwo\n\n"));
  ASSERT_TRUE(Shows(client, "Bob Says>\none\ntwo\n\n"));
  EXPECT_EQ("", Text(panel.Input()));
  // A lone line end is not sent and stays in the box.
  Type(panel, "\n");
  panel.Send();
  EXPECT_EQ("\n", Text(panel.Input()));
}

TEST(CutOnCharacterTest, KeepsWholeCharactersOnly) {
  const std::string euro = "a\xe2\x82\xac";
  EXPECT_EQ("abc", ChatPanel::CutOnCharacter("abc", 3));
  EXPECT_EQ("ab", ChatPanel::CutOnCharacter("abc", 2));
  EXPECT_EQ("a", ChatPanel::CutOnCharacter(euro, 3));
  EXPECT_EQ(euro, ChatPanel::CutOnCharacter(euro + "b", 4));
  EXPECT_EQ("", ChatPanel::CutOnCharacter("\xf0\x9f\x98\x80", 3));
}

}  // namespace
