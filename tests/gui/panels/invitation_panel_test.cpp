// The Invitation panel under Xvfb: Add and Remove on the list,
// the checks before a send, a real invitation through aiosmtpd on loopback
// and Cancel while the mail server keeps silent.
#include "gui/panels/invitation_panel.h"

#include <wx/msgdlg.h>

#include "gui/frame/gui_text.h"
#include "gui/panels/panel_test_support.h"

namespace {

using testing::ElementsAre;
using testing::HasSubstr;

class InvitationPanelTest : public PanelTest {
 protected:
  InvitationPanelTest() {
    panel = new InvitationPanel(nullptr, *settings, *events, *reporter);
    windows.push_back(panel);
    settings->ScreenName = "Ann";
    settings->ReturnEmailAddress = "ann@example.org";
  }

  void Type(const std::string& nickname, const std::string& address) {
    panel->NicknameField()->ChangeValue(GuiText(nickname));
    panel->EmailField()->ChangeValue(GuiText(address));
  }
  void Add(const std::string& nickname, const std::string& address) {
    Type(nickname, address);
    Click(panel, InvitationPanel::kAddId);
  }
  void Send() { Click(panel, InvitationPanel::kSendId); }
  std::string SendRefused() {
    std::string message;
    wxTEST_DIALOG(Send(), ExpectMessage(wxID_OK, &message));
    return message;
  }

  InvitationPanel* panel;
};

TEST_F(InvitationPanelTest, ShowInvitationFillsTheMessageAndCloseHides) {
  panel->ShowInvitation("Line one\nLine two\n");
  EXPECT_TRUE(panel->IsShown());
  EXPECT_EQ("Line one\nLine two\n", Text(panel->MessageField()));
  Click(panel, InvitationPanel::kCloseId);
  EXPECT_FALSE(panel->IsShown());
  panel->ShowInvitation("Again");
  panel->Close();
  EXPECT_FALSE(panel->IsShown());
}

TEST_F(InvitationPanelTest, AddNeedsAnAddressAndNamesNamelessRecipientsQuilloClient) {
  std::string message;
  Type("Bob", "   ");
  wxTEST_DIALOG(Click(panel, InvitationPanel::kAddId), ExpectMessage(wxID_OK, &message));
  EXPECT_EQ("Could not add database entry.\n Invalid Recipient Email Address.\n  ", message);
  EXPECT_TRUE(panel->Recipients()->IsEmpty());
  Add("  ", "  guest@example.org ");
  Add(" Bob ", "bob@example.org");
  // Later lines go to the top, blanks trimmed; the fields are cleared.
  EXPECT_THAT(Lines(panel->Recipients()),
              ElementsAre("Bob - bob@example.org", "QuilloClient - guest@example.org"));
  EXPECT_EQ("", Text(panel->NicknameField()));
  EXPECT_EQ("", Text(panel->EmailField()));
  Click(panel, InvitationPanel::kRemoveId);  // nothing selected: nothing removed
  EXPECT_EQ(2u, panel->Recipients()->GetCount());
}

TEST_F(InvitationPanelTest, SendChecksTheMailSettingsAndTheRecipient) {
  EXPECT_EQ(
      "Your Email Configuration is not complete.\n Please enter a mail server name in the "
      "Config panel.\n  ",
      SendRefused());
  settings->MailServer = "127.0.0.1";
  settings->ReturnEmailAddress = "";
  EXPECT_EQ(
      "Your Email Configuration is not complete.\n Please your return email address in the "
      "Config panel.\n  ",
      SendRefused());
  settings->ReturnEmailAddress = "ann@example.org";
  EXPECT_EQ("Could not send email message.\n Invalid message recipient.\n  ", SendRefused());
  EXPECT_EQ(nullptr, settings->SendMailThread);
  EXPECT_FALSE(events->IsShown());
}

TEST_F(InvitationPanelTest, InvitationsToATypedAddressAndToASelectedLineReachARealMailServer) {
  RealSmtpServer server;
  ASSERT_TRUE(server.Ready()) << "aiosmtpd (python3-aiosmtpd) did not start";
  settings->MailServer = "127.0.0.1";
  settings->MailServerPortNumber = server.Port();
  const std::string text = "Come and talk\nat 127.0.0.1\n";
  panel->ShowInvitation(text);
  PumpEvents();
  Type("", " guest@example.org ");
  Send();
  EXPECT_FALSE(panel->IsShown());
  EXPECT_FALSE(events->IsShown()) << EventText();
  EXPECT_EQ(nullptr, settings->SendMailThread);
  EXPECT_EQ("guest@example.org", settings->MailRecipient);
  EXPECT_EQ("Quillo Invitation from Ann", settings->InvitationSubject);
  EXPECT_THAT(Lines(panel->Recipients()), ElementsAre("QuilloClient - guest@example.org"));
  EXPECT_EQ("", Text(panel->EmailField()));
  // The message box keeps its text.
  EXPECT_EQ(text, Text(panel->MessageField()));
  ASSERT_TRUE(PumpUntil([&] { return server.Messages().size() == 1; }));
  const std::string mail = server.Messages()[0];
  EXPECT_THAT(mail, HasSubstr("Subject: Quillo Invitation from Ann"));
  EXPECT_THAT(mail, HasSubstr("Come and talk\nat 127.0.0.1"));
  EXPECT_THAT(mail, HasSubstr("guest@example.org"));
  // A selected line's address is used whole, dashes and all.
  Add("Dash", "first-last@example.org");
  SelectLine(panel->Recipients(), 0);
  panel->ShowInvitation("Second note\n");
  Send();
  EXPECT_EQ("first-last@example.org", settings->MailRecipient);
  ASSERT_TRUE(PumpUntil([&] { return server.Messages().size() == 2; }));
  const std::vector<std::string> mails = server.Messages();
  EXPECT_THAT(mails, testing::Contains(testing::AllOf(HasSubstr("first-last@example.org"),
                                                      HasSubstr("Second note"))));
}

TEST_F(InvitationPanelTest, CancelWhileTheServerIsSilentStopsTheSend) {
  SilentHost server;
  settings->MailServer = "127.0.0.1";
  settings->MailServerPortNumber = server.Port();
  Type("Bob", "bob@example.org");
  After(300, [this] { Click(events, EventWindow::kCancelId); });
  const auto start = std::chrono::steady_clock::now();
  Send();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_TRUE(events->IsShown());
  EXPECT_FALSE(events->Running());
  const std::string lines = EventText();
  EXPECT_THAT(lines, HasSubstr("Stopping send mail thread\nThe current request was "
                               "canceled\nThe email invitation was not sent\n"));
  EXPECT_EQ(std::string::npos, lines.find("Could not"));
  EXPECT_EQ(nullptr, settings->SendMailThread);
}

// The invitation book behind the panel.
class InvitationBookTest : public InvitationPanelTest {
 protected:
  void SetUp() override {
    OpenBooks();
    Rebuild();
  }
  // A fresh panel, which fills its list from the book.
  void Rebuild() {
    panel = new InvitationPanel(nullptr, *settings, *events, *reporter);
    windows.push_back(panel);
  }
};

TEST_F(InvitationBookTest, TheListIsBuiltSortedAndLaterLinesGoToTheTop) {
  Add("carol", "carol@example.org");
  Add("", "first@example.org");
  Add("Bob", "bob@example.org");
  Add(" ", "second@example.org");  // the same QuilloClient entry, new address
  EXPECT_THAT(Lines(panel->Recipients()),
              ElementsAre("QuilloClient - second@example.org", "Bob - bob@example.org",
                          "carol - carol@example.org"));
  Rebuild();
  EXPECT_THAT(Lines(panel->Recipients()),
              ElementsAre("Bob - bob@example.org", "carol - carol@example.org",
                          "QuilloClient - second@example.org"));
}

TEST_F(InvitationBookTest, RemoveFindsNamesAndAddressesWithDashesAndSkipsWhatIsGone) {
  Add("Jo - work", "jo-anne@mail-host.example.org");
  Add("Bob", "bob@example.org");
  InvitationPanel* first = panel;
  Rebuild();
  ASSERT_THAT(Lines(panel->Recipients()),
              ElementsAre("Bob - bob@example.org", "Jo - work - jo-anne@mail-host.example.org"));
  SelectLine(panel->Recipients(), 1);
  Click(panel, InvitationPanel::kRemoveId);
  EXPECT_THAT(Lines(panel->Recipients()), ElementsAre("Bob - bob@example.org"));
  Rebuild();
  EXPECT_THAT(Lines(panel->Recipients()), ElementsAre("Bob - bob@example.org"));
  // The first panel still lists Jo, whom the book no longer holds.
  panel = first;
  SelectLine(panel->Recipients(), 1);
  Click(panel, InvitationPanel::kRemoveId);
  EXPECT_EQ(2u, panel->Recipients()->GetCount());
}

// A failed send leaves the event window open with its lines.
TEST_F(InvitationBookTest, AFailedSendToATypedAddressStoresItBeforeTheMailGoesOut) {
  settings->MailServer = "127.0.0.1";
  settings->MailServerPortNumber = FreePort();
  Type("Guest", "guest@example.org");
  Send();
  EXPECT_TRUE(events->IsShown());
  EXPECT_FALSE(events->Running());
  EXPECT_EQ(nullptr, settings->SendMailThread);
  const std::string lines = EventText();
  EXPECT_EQ(0u, lines.find("Connecting to mail server 127.0.0.1\n")) << lines;
  EXPECT_THAT(lines, testing::EndsWith("The email invitation was not sent\n"));
  EXPECT_THAT(Lines(panel->Recipients()), ElementsAre("Guest - guest@example.org"));
  Rebuild();
  EXPECT_THAT(Lines(panel->Recipients()), ElementsAre("Guest - guest@example.org"));
}

TEST_F(InvitationPanelTest, WithoutABookAddStillListsAndRemoveDoesNothing) {
  ASSERT_EQ(nullptr, settings->InvitationBook);
  Add("Bob", "bob@example.org");
  Add("Bob", "robert@example.org");
  EXPECT_THAT(Lines(panel->Recipients()),
              ElementsAre("Bob - robert@example.org", "Bob - bob@example.org"));
  SelectLine(panel->Recipients(), 0);
  Click(panel, InvitationPanel::kRemoveId);
  EXPECT_EQ(2u, panel->Recipients()->GetCount());
}

}  // namespace
