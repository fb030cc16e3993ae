#ifndef QUILLO_GUI_PANELS_CONFIG_PANEL_H
#define QUILLO_GUI_PANELS_CONFIG_PANEL_H

#include <wx/frame.h>

#include <functional>

#include "core/settings/config_commit.h"

class ProgramSettings;
class wxCheckBox;
class wxChoice;
class wxTextCtrl;

// The window in which the user edits the everyday settings: screen name,
// chat port and key, greeting, home directory, audio alerts, desktop
// notifications, private sessions (mode and passphrase) and the mail
// settings of invitations. Every showing starts from the stored values
// (LoadFields); Accept applies and writes the changed keys (CommitConfig).
// Created once, hidden, by the main frame; Close and the close box hide it.
//
// The panel does not own the settings, which must outlive it.
class ConfigPanel : public wxFrame {
 public:
  enum : int {
    kId = 110000,
    kAcceptId = 120001,
    kCloseId = 120002,
    kCancelId = 120003,
    kDefaultId = 120004,
    kBrowseId = 120005,
  };

  // committed runs after every successful commit (the frame passes the
  // audio switch on to a running session).
  ConfigPanel(wxWindow* parent, ProgramSettings& settings, std::function<void()> committed = {});

  // The Config command: LoadFields, then show.
  void ShowConfigPanel();
  void LoadFields();
  // The fields as they stand, as program bytes.
  ConfigFields Fields() const;
  bool IsModified() const;
  // Applies the fields; false (after the box) when the home directory could
  // not be made.
  bool Commit();

  void OnAccept(wxCommandEvent& event);
  void OnClose(wxCommandEvent& event);
  void OnCancel(wxCommandEvent& event);
  void OnDefault(wxCommandEvent& event);
  void OnBrowse(wxCommandEvent& event);

  wxTextCtrl* ScreenNameField() const { return screen_name_; }
  wxTextCtrl* PortField() const { return port_; }
  wxTextCtrl* KeyField() const { return key_; }
  wxTextCtrl* WelcomeField() const { return welcome_; }
  wxTextCtrl* HomeDirectoryField() const { return home_directory_; }
  wxCheckBox* AudioBox() const { return audio_; }
  wxCheckBox* NotificationsBox() const { return notifications_; }
  wxChoice* PrivateSessionsChoice() const { return private_sessions_; }
  wxTextCtrl* PassphraseField() const { return passphrase_; }
  wxTextCtrl* MailServerField() const { return mail_server_; }
  wxTextCtrl* EmailField() const { return email_; }

 private:
  void OnCloseWindow(wxCloseEvent& event);
  void CloseAsked();

  ProgramSettings& settings_;
  std::function<void()> committed_;
  wxTextCtrl* screen_name_;
  wxTextCtrl* port_;
  wxTextCtrl* key_;
  wxTextCtrl* welcome_;
  wxTextCtrl* home_directory_;
  wxCheckBox* audio_;
  wxCheckBox* notifications_;
  wxChoice* private_sessions_;  // Prefer, Require, Off
  wxTextCtrl* passphrase_;      // shown as dots
  wxTextCtrl* mail_server_;
  wxTextCtrl* email_;

  wxDECLARE_EVENT_TABLE();
};

#endif  // QUILLO_GUI_PANELS_CONFIG_PANEL_H
