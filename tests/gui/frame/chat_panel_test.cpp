// The chat panel and the session commands through the real windows: a host
// frame and a client frame in one process talk over loopback. The commands'
// texts and the session rules are checked without windows in tests/core/chat;
// here, that the windows, input box and questions are wired to them.
#include "gui/frame/chat_panel.h"

#include <gmock/gmock.h>
#include <wx/checkbox.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>

#include "core/chat/session.h"
#include "core/settings/settings_parts.h"
#include "gui/frame/conversation_window.h"
#include "gui/frame/gui_text.h"
#include "gui/panels/invitation_panel.h"
#include "gui/panels/statistics_panel.h"
#include "gui/support/frame_fixture.h"

namespace {

bool Hosting(MainFrame* frame) {
  const SessionState state = frame->Session().State();
  return state == SessionState::kHostingFree || state == SessionState::kHostingBusy;
}

bool Busy(MainFrame* frame) { return frame->Session().LineBusy(); }

// Two frames, each on its own settings: "Ann" hosts, "Bob" connects.
class ChatSessionTest : public testing::Test {
 protected:
  void SetUp() override {
    host_settings->ScreenName = "Ann";
    client_settings->ScreenName = "Bob";
    client_settings->QuilloPortNumber = host_settings->QuilloPortNumber;
    host = new MainFrame(*host_settings);
    client = new MainFrame(*client_settings);
    host->Show();
    client->Show();
  }

  void TearDown() override {
    for (MainFrame* frame : {host, client}) {
      if (!frame) continue;
      frame->Session().Close();
      frame->Destroy();
    }
    PumpEvents(std::chrono::milliseconds(20));
  }

  ChatPanel& HostPanel() { return *host->GetChatPanel(); }
  ChatPanel& ClientPanel() { return *client->GetChatPanel(); }
  std::string HostText() { return host->Conversation()->TranscriptBytes(); }
  std::string ClientText() { return client->Conversation()->TranscriptBytes(); }

  void StartHosting() {
    HostPanel().Host();
    ASSERT_TRUE(PumpUntil([&] { return Hosting(host); }));
  }

  // What the Connect panel does once the user has pressed its Connect button.
  void ConnectClient() {
    ChatSession& session = client->Session();
    ASSERT_TRUE(session.Connect("127.0.0.1", SessionSnapshotOf(*client_settings)));
    ASSERT_TRUE(PumpUntil([&] { return session.State() != SessionState::kConnecting; }));
    ASSERT_TRUE(session.JoinConnect());
    ASSERT_TRUE(PumpUntil([&] { return Busy(host) && Busy(client); }));
  }

  // Types text at the end of the input box as a user would.
  static void Type(ChatPanel& panel, const std::string& text) {
    panel.Input()->AppendText(GuiText(text));
    PumpEvents(std::chrono::milliseconds(30));
  }

  bool HostShows(const std::string& text) {
    return PumpUntil([&] { return HostText().find(text) != std::string::npos; });
  }
  bool ClientShows(const std::string& text) {
    return PumpUntil([&] { return ClientText().find(text) != std::string::npos; });
  }

  TempDir host_dir, client_dir;
  std::unique_ptr<ProgramSettings> host_settings = TestSettings(host_dir);
  std::unique_ptr<ProgramSettings> client_settings = TestSettings(client_dir);
  MainFrame* host = nullptr;
  MainFrame* client = nullptr;
};

TEST_F(ChatSessionTest, LinesTypedOnBothSidesAppearInBothWindowsInOrder) {
  StartHosting();
  ConnectClient();
  Type(ClientPanel(), "first from Bob\n");
  ASSERT_TRUE(HostShows("first from Bob"));
  Type(HostPanel(), "reply from Ann\n");
  ASSERT_TRUE(ClientShows("reply from Ann"));
  Type(ClientPanel(), "second from Bob\n");
  ASSERT_TRUE(HostShows("second from Bob"));
  PumpEvents();
  for (const std::string& text : {HostText(), ClientText()}) {
    const size_t first = text.find("Bob Says>\nfirst from Bob\n\n");
    const size_t reply = text.find("Ann Says>\nreply from Ann\n\n");
    const size_t second = text.find("Bob Says>\nsecond from Bob\n\n");
    ASSERT_NE(std::string::npos, second) << text;
    EXPECT_LT(first, reply);
    EXPECT_LT(reply, second);
  }
  EXPECT_EQ("", Text(ClientPanel().Input()));
}

TEST_F(ChatSessionTest, EnterRulesOfTheInputBox) {
  std::string message;
  wxTEST_DIALOG(Type(HostPanel(), "hello\n"), ExpectMessage(wxID_OK, &message));
  EXPECT_EQ("You are not connected to any Quillo services\n  ", message);
  EXPECT_EQ("hello\n", Text(HostPanel().Input()));  // kept for a later try
  StartHosting();
  ConnectClient();
  ChatPanel& panel = ClientPanel();
  // Enter after a word sends the word alone and clears the box.
  Type(panel, "word\n");
  ASSERT_TRUE(HostShows("Bob Says>\nword\n\n"));
  EXPECT_EQ("", Text(panel.Input()));
  // Enter in the middle of a text sends the whole text with the line end.
  panel.Input()->ChangeValue("left right");
  panel.Input()->SetInsertionPoint(4);
  panel.Input()->WriteText("\n");
  PumpEvents(std::chrono::milliseconds(30));
  ASSERT_TRUE(HostShows("Bob Says>\nleft\n right\n\n"));
  // With multi-line processing on, Enter only adds a line; Send sends all
  // lines minus one final line end.
  panel.MultiLine()->SetValue(true);
  Type(panel, "one\n");
  Type(panel, "two\n");
  EXPECT_EQ("one\ntwo\n", Text(panel.Input()));
  panel.Send();
  ASSERT_TRUE(HostShows("Bob Says>\none\ntwo\n\n"));
  EXPECT_EQ("", Text(panel.Input()));
  // A lone line end is not sent and stays in the box.
  Type(panel, "\n");
  panel.Send();
  EXPECT_EQ("\n", Text(panel.Input()));
}

TEST_F(ChatSessionTest, RefusedCommandsShowTheirMessageAndNoPanel) {
  std::string message;
  wxTEST_DIALOG(ClientPanel().Invite(), ExpectMessage(wxID_OK, &message));
  EXPECT_EQ("You are not currently hosting a Quillo session\n  ", message);
  EXPECT_FALSE(client->InvitationPanel()->IsShown());
  StartHosting();
  wxTEST_DIALOG(HostPanel().Host(), ExpectMessage(wxID_OK, &message));
  EXPECT_EQ("You are currently hosting a Quillo session\n  ", message);
  wxTEST_DIALOG(HostPanel().Connect(), ExpectMessage(wxID_OK, &message));
  EXPECT_EQ("You must end this host session before connecting\n  ", message);
  EXPECT_FALSE(host->ConnectPanel()->IsShown());
}

TEST_F(ChatSessionTest, StatsAndInviteShowTheLiveSession) {
  StartHosting();
  ConnectClient();
  HostPanel().Stats();
  EXPECT_TRUE(host->GetStatsPanel()->IsShown());
  EXPECT_THAT(Text(host->GetStatsPanel()->Text()),
              testing::HasSubstr("Port Number: " + std::to_string(host_settings->QuilloPortNumber) +
                                 "\nEncryption Key: 52917\n\nCurrently 1 Quillo client is "
                                 "connected\nQuillo session started at: "));
  ClientPanel().Stats();
  EXPECT_THAT(Text(client->GetStatsPanel()->Text()),
              testing::StartsWith("You are not hosting any Quillo sessions\nYou are configured "
                                  "as Quillo client\n\nYou are connected to a Quillo server\n"));
  HostPanel().Invite();
  EXPECT_TRUE(host->InvitationPanel()->IsShown());
  const std::string& text = host->InvitationText();
  EXPECT_THAT(text, testing::HasSubstr("This is an invitation to join the Ann Quillo session\n"));
  EXPECT_EQ(text, Text(static_cast<InvitationPanel*>(host->InvitationPanel())->MessageField()));
}

TEST_F(ChatSessionTest, EndAsksTheHostWhetherToKeepListening) {
  StartHosting();
  ConnectClient();
  wxTEST_DIALOG(HostPanel().End(), wxExpectModal<wxMessageDialog>(wxID_YES));
  EXPECT_TRUE(Hosting(host));
  EXPECT_FALSE(Busy(host));
  ASSERT_TRUE(HostShows("Listening on port " + std::to_string(host_settings->QuilloPortNumber)));
  ASSERT_TRUE(PumpUntil([&] { return !Busy(client); }));
  ClientPanel().End();  // the client's End asks nothing
  ASSERT_TRUE(ClientShows("All Quillo services have been shutdown\n"));
  wxTEST_DIALOG(HostPanel().End(), wxExpectModal<wxMessageDialog>(wxID_NO));
  EXPECT_FALSE(Hosting(host));
  EXPECT_TRUE(HostShows("All Quillo services have been shutdown\n"));
  EXPECT_EQ("All Quillo services have been shutdown",
            ProgramText(host->GetStatusBar()->GetStatusText(0)));
}

TEST_F(ChatSessionTest, ClosingWhileConnectedAsksThenSignsOff) {
  StartHosting();
  ConnectClient();
  std::string question;
  wxTEST_DIALOG(client->Close(), ExpectMessage(wxID_NO, &question));
  EXPECT_EQ(
      "You are currently connected to Quillo services.\n Would you like to end this "
      "session and close the program?",
      question);
  EXPECT_TRUE(Busy(client));
  wxTEST_DIALOG(client->Close(), wxExpectModal<wxMessageDialog>(wxID_YES));
  ASSERT_TRUE(PumpUntil([&] { return !Busy(host); }));
  PumpEvents(std::chrono::milliseconds(20));
  client = nullptr;  // destroyed: TearDown must not touch it again
}

// Without a screen name, Host and Connect ask for one first.
using ScreenNamePromptTest = FrameTest;

TEST_F(ScreenNamePromptTest, HostTakesWholeCharactersOfTheFirst24BytesAndWritesThem) {
  MakeFrame();
  // "a" and twelve two-byte letters: 25 bytes; the last letter would be cut.
  std::string name = "a";
  for (int i = 0; i < 12; ++i) name += "\xc3\xa9";
  std::string message, caption;
  wxTEST_DIALOG(frame->GetChatPanel()->Host(), ExpectTextEntry(name, false, &message, &caption));
  EXPECT_EQ(name.substr(0, 23), settings->ScreenName);
  EXPECT_EQ(0u, message.find("Please enter a screen name"));
  EXPECT_EQ("Screen name input", caption);
  EXPECT_EQ("ScreenName=" + name.substr(0, 23) + "\r\n", SettingsText());
  EXPECT_TRUE(PumpUntil([&] { return Hosting(frame); }));
  // Named now: the next command does not ask.
  wxTEST_DIALOG(frame->GetChatPanel()->End(), wxExpectModal<wxMessageDialog>(wxID_NO));
}

TEST_F(ScreenNamePromptTest, CancelKeepsTheDefaultAndTheCommandGoesOn) {
  MakeFrame();
  wxTEST_DIALOG(frame->GetChatPanel()->Connect(), ExpectTextEntry("", true));
  EXPECT_EQ("Quillo", settings->ScreenName);
  EXPECT_EQ("", SettingsText());
  EXPECT_TRUE(frame->ConnectPanel()->IsShown());
}

TEST(CutOnCharacterTest, KeepsWholeCharactersOnly) {
  EXPECT_EQ("abc", ChatPanel::CutOnCharacter("abc", 24));
  EXPECT_EQ("ab", ChatPanel::CutOnCharacter("abc", 2));
  EXPECT_EQ("a", ChatPanel::CutOnCharacter("a\xe2\x82\xac", 3));
  EXPECT_EQ("a\xe2\x82\xac", ChatPanel::CutOnCharacter("a\xe2\x82\xac"
                                                       "b",
                                                       4));
  EXPECT_EQ("", ChatPanel::CutOnCharacter("\xf0\x9f\x98\x80", 3));
}

// The close sequence while a session runs.
using CloseWhileHostingTest = FrameTest;

TEST_F(CloseWhileHostingTest, NoKeepsEverythingAndYesEndsBeforeGeometry) {
  settings->ScreenName = "Ann";
  settings->RememberFrameSize = 1;
  settings->RememberProgramSettings = 1;
  MakeFrame();
  frame->GetChatPanel()->Host();
  ASSERT_TRUE(PumpUntil([&] { return Hosting(frame); }));
  std::string question;
  wxTEST_DIALOG(frame->Close(), ExpectMessage(wxID_NO, &question));
  EXPECT_EQ(
      "You are currently hosting Quillo services.\n Would you like to end this session "
      "and close the program?",
      question);
  PumpEvents(std::chrono::milliseconds(20));
  EXPECT_TRUE(FrameAlive());
  EXPECT_TRUE(Hosting(frame));
  EXPECT_EQ("", SettingsText());
  wxTEST_DIALOG(frame->Close(true), wxExpectModal<wxMessageDialog>(wxID_YES));
  PumpEvents(std::chrono::milliseconds(20));
  EXPECT_FALSE(FrameAlive());
  EXPECT_EQ(0u, SettingsText().find("MainFrameWidth="));
}

}  // namespace
