#ifndef QUILLO_GUI_PANELS_INVITATION_PANEL_H
#define QUILLO_GUI_PANELS_INVITATION_PANEL_H

#include <wx/frame.h>

#include <string>

class EventWindow;
class GuiReporter;
class ProgramSettings;
class Thread;
class wxListBox;
class wxTextCtrl;

// The window from which a hosting user mails an invitation: the invitation
// book as a list of recipients ("nickname - address" lines), Add and Remove,
// the Message box that the Invite command fills, and Send, which runs the
// send-mail task on a worker thread and waits for it on the GUI thread
// (PanelWait) with the event window showing progress and offering Cancel.
//
// The list is filled once, sorted, when the panel is built; lines added
// later go to the top. Each line carries the nickname and address it was
// made from, and Remove and Send use those rather than reading the line's
// text back, so any address (one holding " - " or blanks, say) works.
//
// Created once, hidden, by the main frame; Close and the close box hide it.
// The panel does not own the settings, the event window or the reporter;
// all three must outlive it.
class InvitationPanel : public wxFrame {
 public:
  enum : int {
    kId = 130000,
    kAddId = 130001,
    kRemoveId = 130002,
    kSendId = 130003,
    kCloseId = 130004,
    kListId = 130005,
  };

  InvitationPanel(wxWindow* parent, ProgramSettings& settings, EventWindow& events,
                  GuiReporter& reporter);

  // The Invite command: the invitation text into the Message box, then
  // show the panel.
  void ShowInvitation(const std::string& text);

  void OnAdd(wxCommandEvent& event);
  void OnRemove(wxCommandEvent& event);
  void OnSend(wxCommandEvent& event);

  wxTextCtrl* NicknameField() const { return nickname_; }
  wxTextCtrl* EmailField() const { return email_; }
  wxTextCtrl* MessageField() const { return message_; }
  wxListBox* Recipients() const { return list_; }

 private:
  void FillRecipients();
  void Add();
  // Removes the first line made from exactly this nickname.
  void RemoveLineOf(const std::string& nickname);
  // The recipient of a send, or "" when there is none.
  std::string ChooseRecipient();
  // Steps 6 to 11 of a send: start the worker and wait for it.
  void RunSend();
  void Cancelled(Thread* thread);
  void OnHide(wxCommandEvent& event);
  void OnCloseWindow(wxCloseEvent& event);

  ProgramSettings& settings_;
  EventWindow& events_;
  GuiReporter& reporter_;
  wxTextCtrl* nickname_;
  wxTextCtrl* email_;
  wxListBox* list_;
  wxTextCtrl* message_;

  wxDECLARE_EVENT_TABLE();
};

#endif  // QUILLO_GUI_PANELS_INVITATION_PANEL_H
