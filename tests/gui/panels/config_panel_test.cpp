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
  settings->EnableAudio = settings->EnableNotifications = 0;
  panel->ShowConfigPanel();
  EXPECT_EQ(dir.Path(), Text(panel->HomeDirectoryField()));
  panel->ScreenNameField()->ChangeValue("Bob");
  Click(panel, ConfigPanel::kCancelId);
  EXPECT_TRUE(panel->IsShown());
  EXPECT_EQ("Ann", Text(panel->ScreenNameField()));
  wxTEST_DIALOG(Click(panel, ConfigPanel::kDefaultId), wxExpectModal<wxMessageDialog>(wxID_NO));
  EXPECT_EQ(0, settings->EnableAudio);
  wxTEST_DIALOG(Click(panel, ConfigPanel::kDefaultId), wxExpectModal<wxMessageDialog>(wxID_YES));
  EXPECT_EQ(1, settings->EnableAudio);
  EXPECT_EQ(1, settings->EnableNotifications);
  EXPECT_TRUE(panel->AudioBox()->GetValue());
  // Default changed memory only: Accept finds nothing to commit.
  EXPECT_EQ("There are no changes to commit\n", AcceptRefused());
  EXPECT_EQ("<missing>", SettingsText());  // not even created
}

// The fields reach the settings file (the commit rules themselves are
// checked in tests/core/settings); a home directory that cannot be made
// keeps the panel open.
TEST_F(ConfigPanelTest, AcceptCommitsTheFieldsAndHidesOrSaysWhyNot) {
  panel->ShowConfigPanel();
  panel->ScreenNameField()->ChangeValue("Ann");
  panel->HomeDirectoryField()->ChangeValue(dir.File("no/such/place"));
  EXPECT_EQ("Could not change the home directory", AcceptRefused().substr(0, 35));
  EXPECT_TRUE(panel->IsShown());
  panel->HomeDirectoryField()->ChangeValue(dir.File("home"));
  panel->PortField()->ChangeValue("4000");
  panel->PrivateSessionsChoice()->SetSelection(1);  // Require
  panel->PassphraseField()->ChangeValue("open sesame");
  Click(panel, ConfigPanel::kAcceptId);
  EXPECT_FALSE(panel->IsShown());
  EXPECT_EQ(0, access(dir.File("home").c_str(), F_OK));
  EXPECT_EQ("ScreenName=Ann\r\nHomeDirectory=" + dir.File("home") +
                "\r\nQuilloPortNumber=4000\r\nPrivateSessions=Require\r\n"
                "PrivatePassphrase=open sesame\r\n",
            SettingsText());
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
