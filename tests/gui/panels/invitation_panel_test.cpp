// The Invitation panel under Xvfb: Add and Remove on the list and the book
// behind it, the checks before a send, and Cancel while the mail server
// keeps silent (the mail itself is checked against a real server in
// tests/core/net).
#include "gui/panels/invitation_panel.h"

#include <wx/listbox.h>

#include "gui/frame/gui_text.h"
#include "gui/panels/panel_test_support.h"

namespace {

using testing::ElementsAre;
using testing::HasSubstr;

class InvitationPanelTest : public PanelTest {
 protected:
  InvitationPanelTest() {
    Rebuild();
    settings->ScreenName = "Ann";
    settings->ReturnEmailAddress = "ann@example.org";
  }
  // A fresh panel, which fills its list from the book.
  void Rebuild() {
    panel = new InvitationPanel(nullptr, *settings, *events, *reporter);
    windows.push_back(panel);
  }
  void Type(const std::string& nickname, const std::string& address) {
    panel->NicknameField()->ChangeValue(GuiText(nickname));
    panel->EmailField()->ChangeValue(GuiText(address));
  }
  void Add(const std::string& nickname, const std::string& address) {
    Type(nickname, address);
    Click(panel, InvitationPanel::kAddId);
  }
  // Selects the line as a user's click does, then presses Remove.
  void Remove(int line) {
    wxListBox* list = panel->Recipients();
    list->SetSelection(line);
    wxCommandEvent select(wxEVT_LISTBOX, list->GetId());
    select.SetEventObject(list);
    select.SetInt(line);
    list->ProcessWindowEvent(select);
    Click(panel, InvitationPanel::kRemoveId);
  }
  void Send() { Click(panel, InvitationPanel::kSendId); }
  std::vector<std::string> Listed() const {
    std::vector<std::string> lines;
    for (const wxString& line : panel->Recipients()->GetStrings())
      lines.push_back(ProgramText(line));
    return lines;
  }

  InvitationPanel* panel;
};

TEST_F(InvitationPanelTest, WithoutABookAddListsOnTopAndRemoveDoesNothing) {
  std::string message;
  Type("Bob", "   ");
  wxTEST_DIALOG(Click(panel, InvitationPanel::kAddId), ExpectMessage(wxID_OK, &message));
  EXPECT_EQ("Could not add database entry.\n Invalid Recipient Email Address.\n  ", message);
  Add("  ", "  guest@example.org ");
  Add(" Bob ", "bob@example.org");
  EXPECT_THAT(Listed(), ElementsAre("Bob - bob@example.org", "QuilloClient - guest@example.org"));
  EXPECT_EQ("", Text(panel->EmailField()));
  Click(panel, InvitationPanel::kRemoveId);  // nothing selected
  Remove(0);                                 // no book to remove it from
  EXPECT_EQ(2u, panel->Recipients()->GetCount());
}

TEST_F(InvitationPanelTest, SendChecksTheMailSettingsAndTheRecipientFirst) {
  const struct {
    const char *server, *return_address, *refusal;
  } cases[] = {{"", "ann@example.org", "Please enter a mail server name"},
               {"127.0.0.1", "", "Please your return email address"},
               {"127.0.0.1", "ann@example.org", "Invalid message recipient"}};
  for (const auto& c : cases) {
    settings->MailServer = c.server;
    settings->ReturnEmailAddress = c.return_address;
    std::string message;
    wxTEST_DIALOG(Send(), ExpectMessage(wxID_OK, &message));
    EXPECT_THAT(message, HasSubstr(c.refusal));
  }
  EXPECT_EQ(nullptr, settings->SendMailThread);
  EXPECT_FALSE(events->IsShown());
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
  EXPECT_THAT(EventText(), testing::EndsWith("Stopping send mail thread\nThe current request was "
                                             "canceled\nThe email invitation was not sent\n"));
  EXPECT_EQ(nullptr, settings->SendMailThread);
}

// The invitation book behind the panel: a typed address is stored before
// the mail goes out (here to a closed port); the list is sorted when
// built, later lines go to the top; Remove finds names with dashes and
// skips what another panel already removed.
TEST_F(InvitationPanelTest, TheBookKeepsWhatWasAddedOrSentAndRemoveFindsIt) {
  OpenBooks();
  Rebuild();
  settings->MailServer = "127.0.0.1";
  settings->MailServerPortNumber = FreePort();
  Type("carol", "carol@example.org");
  Send();
  EXPECT_TRUE(events->IsShown());
  EXPECT_THAT(EventText(), testing::StartsWith("Connecting to mail server 127.0.0.1\n"));
  EXPECT_THAT(EventText(), testing::EndsWith("The email invitation was not sent\n"));
  Add("", "first@example.org");
  Add("Jo - work", "jo-anne@mail-host.example.org");
  Add(" ", "second@example.org");  // the same QuilloClient entry, new address
  EXPECT_THAT(Listed(), ElementsAre("QuilloClient - second@example.org",
                                    "Jo - work - jo-anne@mail-host.example.org",
                                    "carol - carol@example.org"));
  InvitationPanel* first = panel;
  Rebuild();
  EXPECT_THAT(Listed(),
              ElementsAre("carol - carol@example.org", "Jo - work - jo-anne@mail-host.example.org",
                          "QuilloClient - second@example.org"));
  Remove(1);
  Rebuild();
  EXPECT_THAT(Listed(),
              ElementsAre("carol - carol@example.org", "QuilloClient - second@example.org"));
  panel = first;  // still lists Jo, whom the book no longer holds
  Remove(1);
  EXPECT_EQ(3u, panel->Recipients()->GetCount());
}

}  // namespace
