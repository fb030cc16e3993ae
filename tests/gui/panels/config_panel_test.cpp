// The Config panel under Xvfb: its fields against the settings, the change
// test behind Accept and Close, and what reaches the settings file.
#include "gui/panels/config_panel.h"

#include <unistd.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dirdlg.h>

#include "gui/frame/window_ids.h"
#include "gui/panels/panel_test_support.h"

namespace {

// Cancels the directory chooser after moving the process to "/", as a
// chooser that browsed may do.
class CancelAfterBrowsing : public wxExpectModalBase<wxDirDialog> {
 protected:
  int OnInvoked(wxDirDialog*) const override { return chdir("/") == 0 ? wxID_CANCEL : wxID_OK; }
};

class ConfigPanelTest : public PanelTest {
 protected:
  ConfigPanelTest() : panel(new ConfigPanel(nullptr, *settings)) { windows.push_back(panel); }
  std::string AcceptRefused() {
    std::string message;
    wxTEST_DIALOG(Click(panel, ConfigPanel::kAcceptId), ExpectMessage(wxID_OK, &message));
    return message;
  }

  ConfigPanel* panel;
};

TEST_F(ConfigPanelTest, ShowCancelAndDefaultLoadTheFieldsAndChangeNothingStored) {
  settings->ScreenName = "Ann";
  settings->QuilloPortNumber = 4000;
  settings->EnableAudio = 0;
  settings->EnableNotifications = 0;
  panel->ShowConfigPanel();
  EXPECT_EQ("Ann", Text(panel->ScreenNameField()));
  EXPECT_EQ(dir.Path(), Text(panel->HomeDirectoryField()));
  panel->ScreenNameField()->ChangeValue("Bob");
  panel->PortField()->ChangeValue("1");
  Click(panel, ConfigPanel::kCancelId);
  EXPECT_TRUE(panel->IsShown());
  EXPECT_EQ("Ann", Text(panel->ScreenNameField()));
  EXPECT_EQ("4000", Text(panel->PortField()));
  wxTEST_DIALOG(Click(panel, ConfigPanel::kDefaultId), wxExpectModal<wxMessageDialog>(wxID_NO));
  EXPECT_EQ(4000, settings->QuilloPortNumber);
  wxTEST_DIALOG(Click(panel, ConfigPanel::kDefaultId), wxExpectModal<wxMessageDialog>(wxID_YES));
  EXPECT_EQ(59152, settings->QuilloPortNumber);
  EXPECT_EQ(1, settings->EnableAudio);
  EXPECT_EQ(1, settings->EnableNotifications);
  EXPECT_EQ("59152", Text(panel->PortField()));
  EXPECT_TRUE(panel->AudioBox()->GetValue());
  EXPECT_TRUE(panel->NotificationsBox()->GetValue());
  // Default changed memory only: Accept finds nothing to commit.
  EXPECT_EQ("There are no changes to commit\n", AcceptRefused());
  EXPECT_TRUE(panel->IsShown());
  EXPECT_EQ("", SettingsText());
}

TEST_F(ConfigPanelTest, AcceptCommitsEveryFieldInItsKeyOrderAndHides) {
  const std::string name = "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234";
  panel->ShowConfigPanel();
  panel->ScreenNameField()->ChangeValue(name);
  panel->PortField()->ChangeValue("4000abc");
  panel->KeyField()->ChangeValue("70000");
  panel->WelcomeField()->ChangeValue("Hello there\nfriend");
  panel->HomeDirectoryField()->ChangeValue(dir.File("home"));
  panel->MailServerField()->ChangeValue("mail.example.org:2525");
  panel->EmailField()->ChangeValue("ann@example.org");
  panel->AudioBox()->SetValue(true);
  panel->PrivateSessionsChoice()->SetSelection(1);  // Require
  panel->PassphraseField()->ChangeValue("open sesame");
  Click(panel, ConfigPanel::kAcceptId);
  EXPECT_FALSE(panel->IsShown());
  // A long name is cut in memory but written whole; the greeting stays in
  // memory; the key keeps its low 16 bits.
  EXPECT_EQ(name.substr(0, 24), settings->ScreenName);
  EXPECT_EQ(4000, settings->QuilloPortNumber);
  EXPECT_EQ("Hello there\nfriend", settings->GreetingText);
  EXPECT_EQ(0, access(dir.File("home").c_str(), F_OK));
  EXPECT_EQ("mail.example.org", settings->MailServer);
  EXPECT_EQ(PrivateMode::kRequire, settings->PrivateSessions);
  EXPECT_EQ("ScreenName=" + name +
                "\r\nMailServerPortNumber=2525\r\nMailServer=mail.example.org\r\n"
                "ReturnEmailAddress=ann@example.org\r\nHomeDirectory=" +
                dir.File("home") +
                "\r\nEnableAudio=TRUE\r\nQuilloPortNumber=4000\r\nEncryptionKey=4464\r\n"
                "PrivateSessions=Require\r\nPrivatePassphrase=open sesame\r\n",
            SettingsText());
  // The port is what follows the first colon, the host what precedes the
  // last; a server without a port leaves the port alone.
  const struct {
    const char *typed, *host;
    int port;
  } servers[] = {{"smtp.example.org", "smtp.example.org", 2525},
                 {"a:b:2525", "a:b", 0},
                 {"mail.example.org:25x", "mail.example.org", 25}};
  for (const auto& server : servers) {
    panel->ShowConfigPanel();
    panel->MailServerField()->ChangeValue(server.typed);
    Click(panel, ConfigPanel::kAcceptId);
    EXPECT_EQ(server.host, settings->MailServer) << server.typed;
    EXPECT_EQ(server.port, settings->MailServerPortNumber) << server.typed;
  }
}

// A home directory that exists is taken as it is; one that cannot be
// made (or a file in its place) keeps the panel open with nothing after it
// committed. A settings file that cannot be written is said, and the
// change still applies.
TEST_F(ConfigPanelTest, HomeDirectoryAndSettingsFileFailuresAreSaid) {
  WriteFile(dir.File("plain"), "x");
  ASSERT_EQ(0, mkdir(dir.File("there").c_str(), 0755));
  for (const char* place : {"no/such/place", "plain"}) {
    panel->ShowConfigPanel();
    panel->ScreenNameField()->ChangeValue("Ann");
    panel->HomeDirectoryField()->ChangeValue(dir.File(place));
    panel->PortField()->ChangeValue("4000");
    EXPECT_EQ("Could not change the home directory", AcceptRefused().substr(0, 35)) << place;
    EXPECT_TRUE(panel->IsShown());
    EXPECT_EQ(dir.Path(), settings->HomeDirectory);
    EXPECT_EQ(59152, settings->QuilloPortNumber);
  }
  EXPECT_EQ("ScreenName=Ann\r\n", SettingsText());
  panel->HomeDirectoryField()->ChangeValue(dir.File("there"));
  Click(panel, ConfigPanel::kAcceptId);
  EXPECT_FALSE(panel->IsShown());
  EXPECT_EQ(dir.File("there"), settings->HomeDirectory);

  settings->SettingsFilePath = dir.File("gone/quillo.ini");
  panel->ShowConfigPanel();
  panel->ScreenNameField()->ChangeValue("Bob");
  std::string message = AcceptRefused();
  EXPECT_EQ("The setting could not be saved in " + dir.File("gone/quillo.ini"),
            message.substr(0, message.find(" (")));
  EXPECT_FALSE(panel->IsShown());
  EXPECT_EQ("Bob", settings->ScreenName);
}

TEST_F(ConfigPanelTest, CloseAsksAboutChangesAndBrowseRestoresTheDirectory) {
  panel->ShowConfigPanel();
  panel->ScreenNameField()->ChangeValue("Ann");
  wxTEST_DIALOG(Click(panel, ConfigPanel::kCloseId), wxExpectModal<wxMessageDialog>(wxID_NO));
  EXPECT_FALSE(panel->IsShown());
  EXPECT_EQ("Quillo", settings->ScreenName);
  panel->ShowConfigPanel();
  panel->ScreenNameField()->ChangeValue("Ann");
  wxTEST_DIALOG(panel->Close(), wxExpectModal<wxMessageDialog>(wxID_YES));
  EXPECT_FALSE(panel->IsShown());
  EXPECT_EQ("Ann", settings->ScreenName);
  panel->ShowConfigPanel();
  Click(panel, ConfigPanel::kCloseId);  // nothing changed: no question
  EXPECT_FALSE(panel->IsShown());

  char* before = getcwd(nullptr, 0);
  wxTEST_DIALOG(Click(panel, ConfigPanel::kBrowseId), CancelAfterBrowsing());
  char* after = getcwd(nullptr, 0);
  EXPECT_STREQ(before, after);
  free(before);
  free(after);
}

}  // namespace
