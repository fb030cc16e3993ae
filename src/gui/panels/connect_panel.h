#ifndef QUILLO_GUI_PANELS_CONNECT_PANEL_H
#define QUILLO_GUI_PANELS_CONNECT_PANEL_H

#include <wx/frame.h>

#include <cstdint>
#include <string>

class ChatSession;
class EventWindow;
class GuiReporter;
class ProgramSettings;
class wxListBox;
class wxTextCtrl;

// The window in which the user says which chat line to join: nickname,
// Internet address, port and key, with the previous-connections book as a
// list to pick from. OnConnect stores the connection in the book, starts the
// client connect task on a worker thread and waits for it on the GUI thread
// (PanelWait) while the event window shows progress and offers Cancel.
//
// Created once, hidden, by the main frame; Close and the close box hide it.
// The panel does not own the settings, the event window or the reporter;
// all three must outlive it. Each list line carries the nickname bytes it
// was made from, so a nickname the toolkit cannot show exactly is still
// found again.
class ConnectPanel : public wxFrame {
 public:
  enum : int {
    kId = 110000,
    kConnectId = 110001,
    kCloseId = 110002,
    kHelpId = 110003,
    kRemoveId = 110004,
    kListId = 110005,
  };

  ConnectPanel(wxWindow* parent, ProgramSettings& settings, ChatSession& session,
               EventWindow& events, GuiReporter& reporter);

  // The Connect command: refills the list from the book and shows the
  // panel (not when a stored connection could not be read).
  void FillPreviousConnections();

  void OnConnect(wxCommandEvent& event);
  void OnHelp(wxCommandEvent& event);
  void OnRemove(wxCommandEvent& event);
  void OnSelectConnection(wxCommandEvent& event);

  wxTextCtrl* NicknameField() const { return nickname_; }
  wxTextCtrl* AddressField() const { return address_; }
  wxTextCtrl* PortField() const { return port_; }
  wxTextCtrl* KeyField() const { return key_; }
  wxListBox* PreviousConnections() const { return list_; }

  static const char* HelpText();

 private:
  void OnHide(wxCommandEvent& event);
  void OnCloseWindow(wxCloseEvent& event);
  // The nickname of the selected line ("" with none).
  std::string SelectedNickname() const;
  void StoreConnection(const std::string& nickname, const std::string& address, int32_t port,
                       int32_t key);
  // Steps 6 to 12 of a connection: start the worker and wait for it.
  void RunConnection(const std::string& address);
  void Cancelled();

  ProgramSettings& settings_;
  EventWindow& events_;
  ChatSession& session_;
  GuiReporter& reporter_;
  wxTextCtrl* nickname_;
  wxTextCtrl* address_;
  wxTextCtrl* port_;
  wxTextCtrl* key_;
  wxListBox* list_;

  wxDECLARE_EVENT_TABLE();
};

#endif  // QUILLO_GUI_PANELS_CONNECT_PANEL_H
