#include "gui/panels/connect_panel.h"

#include <wx/button.h>
#include <wx/font.h>
#include <wx/listbox.h>
#include <wx/msgdlg.h>
#include <wx/panel.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <vector>

#include "core/books/book_sequences.h"
#include "core/chat/session.h"
#include "core/settings/panel_fields.h"
#include "core/settings/program_settings.h"
#include "core/settings/settings_parts.h"
#include "gui/frame/gui_reporter.h"
#include "gui/frame/gui_text.h"
#include "gui/frame/program_message.h"
#include "gui/frame/window_ids.h"
#include "gui/panels/event_window.h"
#include "gui/panels/panel_style.h"
#include "gui/panels/panel_wait.h"

namespace {

// The nickname bytes a list line was made from.
class NicknameData : public wxClientData {
 public:
  explicit NicknameData(std::string nickname) : nickname_(std::move(nickname)) {}
  const std::string& Nickname() const { return nickname_; }

 private:
  std::string nickname_;
};

wxTextCtrl* Field(wxWindow* parent, int x, int y, int width) {
  return new wxTextCtrl(parent, wxID_ANY, wxEmptyString, wxPoint(x, y), wxSize(width, 25));
}

void Label(wxWindow* parent, const char* text, int x, int y, int width = 100, int height = 25) {
  new wxStaticText(parent, wxID_ANY, text, wxPoint(x, y), wxSize(width, height));
}

void Button(wxWindow* parent, int program_id, const char* text, int x, int y) {
  new wxButton(parent, ToolkitId(program_id), text, wxPoint(x, y), wxSize(50, 25));
}

wxString Number(int32_t value) { return wxString::Format("%d", static_cast<int>(value)); }

}  // namespace

// clang-format off
wxBEGIN_EVENT_TABLE(ConnectPanel, wxFrame)
  EVT_CLOSE(ConnectPanel::OnCloseWindow)
  EVT_BUTTON(ToolkitId(ConnectPanel::kConnectId), ConnectPanel::OnConnect)
  EVT_BUTTON(ToolkitId(ConnectPanel::kCloseId), ConnectPanel::OnHide)
  EVT_BUTTON(ToolkitId(ConnectPanel::kHelpId), ConnectPanel::OnHelp)
  EVT_BUTTON(ToolkitId(ConnectPanel::kRemoveId), ConnectPanel::OnRemove)
  EVT_LISTBOX(ToolkitId(ConnectPanel::kListId), ConnectPanel::OnSelectConnection)
wxEND_EVENT_TABLE()
    // clang-format on

    ConnectPanel::ConnectPanel(wxWindow* parent, ProgramSettings& settings, ChatSession& session,
                               EventWindow& events, GuiReporter& reporter)
    : wxFrame(parent, ToolkitId(kId), "Quillo Connect Panel", wxPoint(0, 0), wxSize(400, 400),
              kPanelStyle),
      settings_(settings),
      events_(events),
      session_(session),
      reporter_(reporter) {
  // A panel as the only child gives the frame its usual background and
  // keyboard navigation; the controls keep their fixed positions in it.
  auto* panel = new wxPanel(this);
  // The fixed label sizes were measured for a small font.
  panel->SetFont(PanelFont());
  new wxStaticBox(panel, wxID_ANY, "New Connection", wxPoint(8, 4), wxSize(375, 200));
  // These two wrap in their 100 pixels: tall enough for both lines.
  Label(panel, "Connection Name", 25, 29, 100, 32);
  nickname_ = Field(panel, 120, 25, 200);
  Label(panel, "Internet Address", 25, 74, 100, 32);
  address_ = Field(panel, 120, 70, 200);
  Label(panel, "Port Number", 25, 115);
  port_ = Field(panel, 25, 130, 75);
  port_->ChangeValue(Number(settings.QuilloPortNumber));
  Label(panel, "Encryption Key", 120, 115);
  key_ = Field(panel, 120, 130, 75);
  key_->ChangeValue(Number(settings.EncryptionKey));
  Button(panel, kConnectId, "Connect", 25, 170);
  Button(panel, kCloseId, "Close", 91, 170);
  Button(panel, kHelpId, "Help", 157, 170);
  Label(panel, "Previous Connections", 122, 215, 150);
  list_ = new wxListBox(panel, ToolkitId(kListId), wxPoint(8, 230), wxSize(375, 100), 0, nullptr,
                        wxLB_SINGLE);
  Button(panel, kRemoveId, "Remove", 8, 340);
}

const char* ConnectPanel::HelpText() {
  return "Connection Name: Any name you choose to nickname this Quillo server\n\n Internet "
         "Address: The IP address or qualified hostname of a Quillo server\n\n Port Number: "
         "The Quillo server assigned port number\n\n Encryption Key: The Quillo server "
         "assigned encryption key\n";
}

void ConnectPanel::FillPreviousConnections() {
  list_->Clear();
  IndexedDatabase* book = settings_.PreviousConnectionsBook;
  if (book) {
    std::vector<std::string> nicknames, unreadable;
    const bool complete = BookListConnections(book, &nicknames, &unreadable);
    for (const std::string& nickname : nicknames) {
      list_->Append(GuiText(nickname), new NicknameData(nickname));
    }
    // What could be read is listed; what could not is said, not hidden.
    events_.ShowLines(ListingGapLines(book, complete, unreadable));
  }
  Show();
  Raise();
}

void ConnectPanel::OnConnect(wxCommandEvent&) {
  // A second connection while the first one is still being waited for.
  if (events_.Running()) return;
  const std::string nickname = TrimBlanks(ProgramText(nickname_->GetValue()));
  const std::string address = TrimBlanks(ProgramText(address_->GetValue()));
  const int32_t port = FieldNumber(TrimBlanks(ProgramText(port_->GetValue())));
  const int32_t key = FieldNumber(TrimBlanks(ProgramText(key_->GetValue())));
  if (nickname.empty()) {
    ShowProgramMessage("You must enter a nickname for this connection\n", " ", " ");
    return;
  }
  if (address.empty()) {
    ShowProgramMessage("You must enter an Internet Address for this connection\n", " ", " ");
    return;
  }
  settings_.QuilloPortNumber = port;
  settings_.EncryptionKey = static_cast<uint16_t>(key & 0xFFFF);
  StoreConnection(nickname, address, port, key);
  RunConnection(address);
}

void ConnectPanel::StoreConnection(const std::string& nickname, const std::string& address,
                                   int32_t port, int32_t key) {
  BookStoreConnection(settings_.PreviousConnectionsBook,
                      ConnectionValues{nickname, address, port, key});
}

void ConnectPanel::RunConnection(const std::string& address) {
  Hide();
  events_.Reset();
  events_.SetRange(settings_.ProgressGaugeScale * 10000);
  events_.Show();
  events_.Raise();
  events_.AppendLine("Connecting to host " + address);
  // The session refuses while it hosts or connects (its box says why).
  if (!session_.Connect(address, SessionSnapshotOf(settings_))) {
    events_.AppendLine("The Quillo client was not connected");
    return;
  }
  ChatSession& session = session_;
  PanelWait wait(events_, *this);
  const PanelWait::Outcome outcome = wait.Wait([&session] {
    return session.State() == SessionState::kConnecting ? ThreadState::RUNNING
                                                        : ThreadState::EXITED;
  });
  switch (outcome) {
    case PanelWait::Outcome::kAbandoned:
      // The program is closing: its close sequence has stopped the session
      // (and the frame owning it may be going), so touch nothing.
      return;
    case PanelWait::Outcome::kCancelRequested:
      Cancelled();
      return;
    case PanelWait::Outcome::kExited:
      break;
  }
  const bool connected = session.JoinConnect();
  // The worker's own lines come first.
  reporter_.Flush();
  events_.SetValue(0);
  events_.SetRunning(false);
  if (!connected) {
    events_.AppendLine("The Quillo client was not connected");
    return;
  }
  reporter_.StatusText("Connected to Quillo Session");
  reporter_.Flush();
  events_.CancelOrClose();
}

void ConnectPanel::Cancelled() {
  reporter_.Flush();
  events_.AppendLine("Stopping connect thread");
  events_.SetValue(0);
  session_.CancelConnect();
  events_.AppendLine("The current request was canceled");
  events_.AppendLine("The Quillo client was not connected");
  events_.SetRunning(false);
}

void ConnectPanel::OnHelp(wxCommandEvent&) {
  wxMessageDialog box(this, HelpText(), "Message", wxOK);
  box.ShowModal();
}

std::string ConnectPanel::SelectedNickname() const {
  const int selected = list_->GetSelection();
  if (selected == wxNOT_FOUND) return std::string();
  auto* data = static_cast<NicknameData*>(list_->GetClientObject(selected));
  return data ? data->Nickname() : std::string();
}

void ConnectPanel::OnRemove(wxCommandEvent&) {
  const int selected = list_->GetSelection();
  if (BookDeleteConnection(settings_.PreviousConnectionsBook, SelectedNickname()) &&
      selected != wxNOT_FOUND) {
    list_->Delete(selected);
  }
}

void ConnectPanel::OnSelectConnection(wxCommandEvent&) {
  ConnectionValues stored;
  if (!BookLookUpConnection(settings_.PreviousConnectionsBook, SelectedNickname(), &stored)) {
    return;
  }
  nickname_->ChangeValue(GuiText(stored.nickname));
  address_->ChangeValue(GuiText(stored.address));
  port_->ChangeValue(Number(stored.port));
  key_->ChangeValue(Number(stored.key));
}

void ConnectPanel::OnHide(wxCommandEvent&) { Hide(); }

void ConnectPanel::OnCloseWindow(wxCloseEvent& event) {
  // The main frame destroys its panels itself at the end of the run.
  if (!event.CanVeto()) {
    event.Skip();
    return;
  }
  event.Veto();
  Hide();
}
