#include "gui/panels/config_panel.h"

#include <unistd.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dirdlg.h>
#include <wx/font.h>
#include <wx/msgdlg.h>
#include <wx/panel.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <cstdlib>

#include "core/settings/program_settings.h"
#include "core/settings/settings_file.h"
#include "gui/frame/gui_text.h"
#include "gui/frame/program_message.h"
#include "gui/frame/window_ids.h"
#include "gui/panels/panel_style.h"

namespace {

wxTextCtrl* Field(wxWindow* parent, int x, int y, int width, int height, long style = 0) {
  return new wxTextCtrl(parent, wxID_ANY, wxEmptyString, wxPoint(x, y), wxSize(width, height),
                        style);
}

void Label(wxWindow* parent, const char* text, int x, int y, int width = -1, int height = -1) {
  new wxStaticText(parent, wxID_ANY, text, wxPoint(x, y), wxSize(width, height));
}

void Button(wxWindow* parent, int program_id, const char* text, int x) {
  new wxButton(parent, ToolkitId(program_id), text, wxPoint(x, 480), wxSize(50, 25));
}

// The choice's entries, in order.
const PrivateMode kPrivateModes[] = {PrivateMode::kPrefer, PrivateMode::kRequire,
                                     PrivateMode::kOff};

int PrivateModeIndex(PrivateMode mode) {
  for (int i = 0; i < 3; ++i) {
    if (kPrivateModes[i] == mode) return i;
  }
  return 0;
}

}  // namespace

// clang-format off
wxBEGIN_EVENT_TABLE(ConfigPanel, wxFrame)
  EVT_CLOSE(ConfigPanel::OnCloseWindow)
  EVT_BUTTON(ToolkitId(ConfigPanel::kAcceptId), ConfigPanel::OnAccept)
  EVT_BUTTON(ToolkitId(ConfigPanel::kCloseId), ConfigPanel::OnClose)
  EVT_BUTTON(ToolkitId(ConfigPanel::kCancelId), ConfigPanel::OnCancel)
  EVT_BUTTON(ToolkitId(ConfigPanel::kDefaultId), ConfigPanel::OnDefault)
  EVT_BUTTON(ToolkitId(ConfigPanel::kBrowseId), ConfigPanel::OnBrowse)
wxEND_EVENT_TABLE()
    // clang-format on

    ConfigPanel::ConfigPanel(wxWindow* parent, ProgramSettings& settings,
                             std::function<void()> committed)
    : wxFrame(parent, ToolkitId(kId), "Quillo Config Panel", wxPoint(0, 0), wxSize(400, 555),
              kPanelStyle),
      settings_(settings),
      committed_(std::move(committed)) {
  // A panel as the only child gives the frame its usual background and
  // keyboard navigation; the controls keep their fixed positions in it.
  auto* panel = new wxPanel(this);
  // The fixed label sizes were measured for a small font.
  panel->SetFont(PanelFont());
  new wxStaticBox(panel, wxID_ANY, "Quillo Configuration", wxPoint(8, 4), wxSize(375, 190));
  Label(panel, "Screen Name", 25, 29, 100, 25);
  screen_name_ = Field(panel, 110, 25, 200, 25);
  Label(panel, "Port Number", 25, 55, 100, 25);
  port_ = Field(panel, 25, 70, 75, 25);
  Label(panel, "Encryption Key", 120, 55, 100, 25);
  key_ = Field(panel, 120, 70, 75, 25);
  // Two words that do not fit 100 pixels; nothing lies to their right.
  Label(panel, "Welcome Message", 125, 100);
  welcome_ = Field(panel, 25, 115, 300, 65, wxTE_MULTILINE);

  new wxStaticBox(panel, wxID_ANY, "Program Configuration", wxPoint(8, 200), wxSize(375, 100));
  Label(panel, "Quillo Home Directory", 25, 221);
  home_directory_ = Field(panel, 25, 237, 250, 25);
  new wxButton(panel, ToolkitId(kBrowseId), "Browse", wxPoint(284, 237), wxSize(50, 25));
  audio_ =
      new wxCheckBox(panel, wxID_ANY, "Enable audio alerts", wxPoint(25, 271), wxSize(170, 25));
  notifications_ =
      new wxCheckBox(panel, wxID_ANY, "Enable notifications", wxPoint(200, 271), wxSize(175, 25));

  new wxStaticBox(panel, wxID_ANY, "Private Sessions", wxPoint(8, 305), wxSize(375, 60));
  const wxString modes[] = {"Prefer", "Require", "Off"};
  private_sessions_ = new wxChoice(panel, wxID_ANY, wxPoint(25, 328), wxSize(100, 25), 3, modes);
  Label(panel, "Passphrase", 140, 332, 70, 25);
  passphrase_ = Field(panel, 210, 328, 160, 25, wxTE_PASSWORD);

  new wxStaticBox(panel, wxID_ANY, "Email Configuration", wxPoint(8, 370), wxSize(375, 90));
  // Wraps in its 150 pixels: tall enough for both lines.
  Label(panel, "Mail Server Internet Address", 25, 395, 150, 32);
  mail_server_ = Field(panel, 170, 391, 200, 25);
  Label(panel, "Your Email Address", 25, 430, 150, 25);
  email_ = Field(panel, 170, 426, 200, 25);

  Button(panel, kAcceptId, "Accept", 8);
  Button(panel, kCloseId, "Close", 68);
  Button(panel, kCancelId, "Cancel", 128);
  Button(panel, kDefaultId, "Default", 188);
}

void ConfigPanel::ShowConfigPanel() {
  LoadFields();
  Show();
  Raise();
}

void ConfigPanel::LoadFields() {
  const ConfigFields stored = ConfigFields::From(settings_);
  for (wxTextCtrl* field :
       {screen_name_, welcome_, port_, key_, home_directory_, passphrase_, mail_server_, email_}) {
    field->Clear();
  }
  screen_name_->ChangeValue(GuiText(stored.ScreenName));
  welcome_->ChangeValue(GuiText(stored.Greeting));
  port_->ChangeValue(GuiText(stored.Port));
  key_->ChangeValue(GuiText(stored.Key));
  home_directory_->ChangeValue(GuiText(stored.HomeDirectory));
  mail_server_->ChangeValue(GuiText(stored.MailServer));
  email_->ChangeValue(GuiText(stored.ReturnEmailAddress));
  audio_->SetValue(stored.EnableAudio);
  notifications_->SetValue(stored.EnableNotifications);
  private_sessions_->SetSelection(PrivateModeIndex(stored.PrivateSessions));
  passphrase_->ChangeValue(GuiText(stored.PrivatePassphrase));
}

ConfigFields ConfigPanel::Fields() const {
  ConfigFields fields;
  fields.ScreenName = ProgramText(screen_name_->GetValue());
  fields.Port = ProgramText(port_->GetValue());
  fields.Key = ProgramText(key_->GetValue());
  fields.Greeting = ProgramText(welcome_->GetValue());
  fields.HomeDirectory = ProgramText(home_directory_->GetValue());
  fields.MailServer = ProgramText(mail_server_->GetValue());
  fields.ReturnEmailAddress = ProgramText(email_->GetValue());
  fields.EnableAudio = audio_->GetValue();
  fields.EnableNotifications = notifications_->GetValue();
  const int mode = private_sessions_->GetSelection();
  fields.PrivateSessions = kPrivateModes[mode >= 0 && mode < 3 ? mode : 0];
  fields.PrivatePassphrase = ProgramText(passphrase_->GetValue());
  return fields;
}

bool ConfigPanel::IsModified() const { return ConfigIsModified(Fields(), settings_); }

bool ConfigPanel::Commit() {
  const ConfigCommitOutcome outcome = CommitConfig(Fields(), settings_);
  if (outcome.unsaved) {
    ShowProgramMessage(SettingNotSavedText(settings_.SettingsFilePath, outcome.error), " ", " ");
  }
  if (outcome.result == ConfigCommitResult::kCommitted) {
    if (committed_) committed_();
    return true;
  }
  ShowProgramMessage("Could not change the home directory", " ", " ");
  return false;
}

void ConfigPanel::OnAccept(wxCommandEvent&) {
  if (!IsModified()) {
    wxMessageDialog box(this, "There are no changes to commit\n", "Program Message", wxOK);
    box.ShowModal();
    return;
  }
  if (Commit()) Hide();
}

void ConfigPanel::OnClose(wxCommandEvent&) { CloseAsked(); }

void ConfigPanel::OnCancel(wxCommandEvent&) { LoadFields(); }

void ConfigPanel::OnDefault(wxCommandEvent&) {
  wxMessageDialog box(this, "This will default your configuration!\nContinue?", "Program Message",
                      wxYES_NO | wxICON_EXCLAMATION);
  if (box.ShowModal() != wxID_YES) return;
  settings_.QuilloPortNumber = settings_.DefaultPortNumber;
  settings_.EncryptionKey = settings_.DefaultEncryptionKey;
  settings_.EnableAudio = 1;
  settings_.EnableNotifications = 1;
  LoadFields();
}

void ConfigPanel::OnBrowse(wxCommandEvent&) {
  char* current = ::getcwd(nullptr, 0);
  wxDirDialog chooser(this, "Selecting a folder location for grabs", wxEmptyString);
  if (chooser.ShowModal() == wxID_OK) home_directory_->ChangeValue(chooser.GetPath());
  // The chooser may have moved the process elsewhere; the address books
  // and the help file are found relative to where it was.
  if (current != nullptr && ::chdir(current) != 0) {
    // Nothing better to do: the directory was there a moment ago.
  }
  std::free(current);
}

void ConfigPanel::OnCloseWindow(wxCloseEvent& event) {
  // The main frame destroys its panels itself at the end of the run.
  if (!event.CanVeto()) {
    event.Skip();
    return;
  }
  event.Veto();
  CloseAsked();
}

void ConfigPanel::CloseAsked() {
  if (IsModified()) {
    wxMessageDialog box(this, "The configuration has been modifed!\nAccept these changes?\n",
                        "Program Message", wxYES_NO | wxICON_QUESTION);
    if (box.ShowModal() == wxID_YES) Commit();
  }
  Hide();
}
