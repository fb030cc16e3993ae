// The Config panel under Xvfb: the change test behind Accept and Close,
// Default, Browse and what reaches the settings file.
#include "gui/panels/config_panel.h"

#include <unistd.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dirdlg.h>

#include "gui/frame/gui_text.h"
#include "gui/frame/window_ids.h"
#include "gui/panels/panel_test_support.h"

namespace {

// Cancels the directory chooser after moving the process to "/", as a
// chooser that browsed may do.
class CancelAfterBrowsing : public wxExpectModalBase<wxDirDialog> {
 protected:
  int OnInvoked(wxDirDialog*) const override {
    EXPECT_EQ(0, chdir("/"));
    return wxID_CANCEL;
  }
};

class ConfigPanelTest : public PanelTest {
 protected:
  ConfigPanelTest() {
    panel = new ConfigPanel(nullptr, *settings);
    windows.push_back(panel);
  }

  void Accept() { Click(panel, ConfigPanel::kAcceptId); }

  ConfigPanel* panel;
};

TEST_F(ConfigPanelTest, ShowingAndCancelLoadTheStoredValuesEveryTime) {
  settings->ScreenName = "Ann";
  settings->MailServer = "mail.example.org";
  settings->ReturnEmailAddress = "ann@example.org";
  settings->EnableAudio = 0;
  panel->ShowConfigPanel();
  EXPECT_TRUE(panel->IsShown());
  EXPECT_EQ("Ann", Text(panel->ScreenNameField()));
  EXPECT_EQ("59152", Text(panel->PortField()));
  EXPECT_EQ("52917", Text(panel->KeyField()));
  EXPECT_EQ("Welcome to the Quillo session", Text(panel->WelcomeField()));
  EXPECT_EQ(dir.Path(), Text(panel->HomeDirectoryField()));
  EXPECT_EQ("mail.example.org", Text(panel->MailServerField()));
  EXPECT_EQ("ann@example.org", Text(panel->EmailField()));
  EXPECT_FALSE(panel->AudioBox()->GetValue());
  panel->ScreenNameField()->ChangeValue("Bob");
  panel->Hide();
  panel->ShowConfigPanel();
  EXPECT_EQ("Ann", Text(panel->ScreenNameField()));
  // Cancel reloads them too, and leaves the panel open.
  panel->ScreenNameField()->ChangeValue("Bob");
  panel->PortField()->ChangeValue("1");
  Click(panel, ConfigPanel::kCancelId);
  EXPECT_TRUE(panel->IsShown());
  EXPECT_EQ("Ann", Text(panel->ScreenNameField()));
  EXPECT_EQ("59152", Text(panel->PortField()));
}

TEST_F(ConfigPanelTest, DefaultThenAcceptChangesMemoryOnly) {
  WriteFile(settings->SettingsFilePath,
            "QuilloPortNumber=4000\r\nEncryptionKey=1234\r\nEnableAudio=FALSE\r\n");
  settings->QuilloPortNumber = 4000;
  settings->EncryptionKey = 1234;
  settings->EnableAudio = 0;
  settings->EnableNotifications = 0;
  panel->ShowConfigPanel();
  EXPECT_FALSE(panel->NotificationsBox()->GetValue());
  std::string message;
  wxTEST_DIALOG(Click(panel, ConfigPanel::kDefaultId), ExpectMessage(wxID_NO, &message));
  EXPECT_EQ("This will default your configuration!\nContinue?", message);
  EXPECT_EQ(4000, settings->QuilloPortNumber);
  wxTEST_DIALOG(Click(panel, ConfigPanel::kDefaultId), wxExpectModal<wxMessageDialog>(wxID_YES));
  EXPECT_EQ(59152, settings->QuilloPortNumber);
  EXPECT_EQ(52917, settings->EncryptionKey);
  EXPECT_EQ(1, settings->EnableAudio);
  EXPECT_EQ("59152", Text(panel->PortField()));
  EXPECT_EQ("52917", Text(panel->KeyField()));
  EXPECT_TRUE(panel->AudioBox()->GetValue());
  EXPECT_EQ(1, settings->EnableNotifications);
  EXPECT_TRUE(panel->NotificationsBox()->GetValue());
  std::string caption;
  wxTEST_DIALOG(Accept(), ExpectMessage(wxID_OK, &message, &caption));
  EXPECT_EQ("There are no changes to commit\n", message);
  EXPECT_EQ("Program Message", caption);
  EXPECT_TRUE(panel->IsShown());
  EXPECT_EQ("QuilloPortNumber=4000\r\nEncryptionKey=1234\r\nEnableAudio=FALSE\r\n", SettingsText());
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
  panel->NotificationsBox()->SetValue(false);
  panel->PrivateSessionsChoice()->SetSelection(1);  // Require
  panel->PassphraseField()->ChangeValue("open sesame");
  Accept();
  EXPECT_FALSE(panel->IsShown());
  // A long name is cut in memory but written whole; the greeting stays in
  // memory; the key keeps its low 16 bits.
  EXPECT_EQ(name.substr(0, 24), settings->ScreenName);
  EXPECT_EQ(4000, settings->QuilloPortNumber);
  EXPECT_EQ(70000 & 0xFFFF, settings->EncryptionKey);
  EXPECT_EQ("Hello there\nfriend", settings->GreetingText);
  EXPECT_EQ(dir.File("home"), settings->HomeDirectory);
  EXPECT_EQ(0, access(dir.File("home").c_str(), F_OK));
  EXPECT_EQ("mail.example.org", settings->MailServer);
  EXPECT_EQ(2525, settings->MailServerPortNumber);
  EXPECT_EQ("ann@example.org", settings->ReturnEmailAddress);
  EXPECT_EQ(1, settings->EnableAudio);
  EXPECT_EQ(0, settings->EnableNotifications);
  EXPECT_EQ(PrivateMode::kRequire, settings->PrivateSessions);
  EXPECT_EQ("open sesame", settings->PrivatePassphrase);
  std::string written = "ScreenName=" + name +
                        "\r\nMailServerPortNumber=2525\r\nMailServer=mail.example.org\r\n"
                        "ReturnEmailAddress=ann@example.org\r\nHomeDirectory=" +
                        dir.File("home") +
                        "\r\nEnableAudio=TRUE\r\nEnableNotifications=FALSE\r\nQuilloPortNumber="
                        "4000\r\nEncryptionKey=4464\r\n"
                        "PrivateSessions=Require\r\nPrivatePassphrase=open sesame\r\n";
  EXPECT_EQ(written, SettingsText());
  // A later server without a port leaves the port alone; only the changed
  // key is rewritten, where it stands.
  panel->ShowConfigPanel();
  EXPECT_EQ("mail.example.org", Text(panel->MailServerField()));
  panel->MailServerField()->ChangeValue("smtp.example.org");
  Accept();
  EXPECT_EQ("smtp.example.org", settings->MailServer);
  EXPECT_EQ(2525, settings->MailServerPortNumber);
  written.replace(written.find("MailServer=mail"), 15, "MailServer=smtp");
  EXPECT_EQ(written, SettingsText());
  // The port is what follows the first colon, the host what precedes the last.
  const struct {
    const char *typed, *host;
    int port;
  } servers[] = {{"a:b:2525", "a:b", 0}, {"mail.example.org:25x", "mail.example.org", 25}};
  for (const auto& server : servers) {
    panel->ShowConfigPanel();
    panel->MailServerField()->ChangeValue(server.typed);
    Accept();
    EXPECT_EQ(server.host, settings->MailServer) << server.typed;
    EXPECT_EQ(server.port, settings->MailServerPortNumber) << server.typed;
  }
}

TEST_F(ConfigPanelTest, AHomeDirectoryThatCannotBeCreatedKeepsThePanelOpen) {
  panel->ShowConfigPanel();
  panel->ScreenNameField()->ChangeValue("Ann");
  panel->HomeDirectoryField()->ChangeValue(dir.File("no/such/place"));
  panel->AudioBox()->SetValue(true);
  panel->PortField()->ChangeValue("4000");
  std::string message;
  wxTEST_DIALOG(Accept(), ExpectMessage(wxID_OK, &message));
  EXPECT_EQ("Could not change the home directory", message.substr(0, 35));
  EXPECT_TRUE(panel->IsShown());
  EXPECT_EQ("Ann", settings->ScreenName);
  EXPECT_EQ(dir.Path(), settings->HomeDirectory);
  EXPECT_EQ(0, settings->EnableAudio);
  EXPECT_EQ(59152, settings->QuilloPortNumber);
  EXPECT_EQ("ScreenName=Ann\r\n", SettingsText());
}

TEST_F(ConfigPanelTest, ASettingsFileThatCannotBeWrittenIsSaidAndTheChangeStillApplies) {
  settings->SettingsFilePath = dir.File("gone/quillo.ini");
  panel->ShowConfigPanel();
  panel->ScreenNameField()->ChangeValue("Ann");
  panel->PortField()->ChangeValue("4000");
  std::string message;
  wxTEST_DIALOG(Accept(), ExpectMessage(wxID_OK, &message));
  EXPECT_EQ("The setting could not be saved in " + dir.File("gone/quillo.ini"),
            message.substr(0, message.find(" (")));
  EXPECT_FALSE(panel->IsShown());
  EXPECT_EQ("Ann", settings->ScreenName);
  EXPECT_EQ(4000, settings->QuilloPortNumber);
}

TEST_F(ConfigPanelTest, CloseAsksAboutChangesAndHidesEitherWay) {
  panel->ShowConfigPanel();
  panel->ScreenNameField()->ChangeValue("Ann");
  std::string message;
  wxTEST_DIALOG(Click(panel, ConfigPanel::kCloseId), ExpectMessage(wxID_NO, &message));
  EXPECT_EQ("The configuration has been modifed!\nAccept these changes?\n", message);
  EXPECT_FALSE(panel->IsShown());
  EXPECT_EQ("Quillo", settings->ScreenName);

  panel->ShowConfigPanel();
  panel->ScreenNameField()->ChangeValue("Ann");
  wxTEST_DIALOG(panel->Close(), wxExpectModal<wxMessageDialog>(wxID_YES));
  EXPECT_FALSE(panel->IsShown());
  EXPECT_EQ("Ann", settings->ScreenName);

  // Nothing changed: no question.
  panel->ShowConfigPanel();
  Click(panel, ConfigPanel::kCloseId);
  EXPECT_FALSE(panel->IsShown());
}

TEST_F(ConfigPanelTest, BrowseRestoresTheCurrentDirectoryWhateverTheChooserDid) {
  panel->ShowConfigPanel();
  char* before = getcwd(nullptr, 0);
  wxTEST_DIALOG(Click(panel, ConfigPanel::kBrowseId), CancelAfterBrowsing());
  EXPECT_EQ(dir.Path(), Text(panel->HomeDirectoryField()));
  char* after = getcwd(nullptr, 0);
  EXPECT_STREQ(before, after);
  free(before);
  free(after);
}

}  // namespace
