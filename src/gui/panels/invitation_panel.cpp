#include "gui/panels/invitation_panel.h"

#include <strings.h>
#include <wx/button.h>
#include <wx/font.h>
#include <wx/listbox.h>
#include <wx/panel.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <vector>

#include "core/books/book_sequences.h"
#include "core/settings/panel_fields.h"
#include "core/settings/program_settings.h"
#include "core/settings/settings_parts.h"
#include "core/thread/thread.h"
#include "gui/frame/gui_reporter.h"
#include "gui/frame/gui_text.h"
#include "gui/frame/program_message.h"
#include "gui/frame/window_ids.h"
#include "gui/panels/event_window.h"
#include "gui/panels/panel_style.h"
#include "gui/panels/panel_wait.h"

namespace {

// The recipient a list line was made from.
class RecipientData : public wxClientData {
 public:
  explicit RecipientData(RecipientValues recipient) : recipient_(std::move(recipient)) {}
  const RecipientValues& Recipient() const { return recipient_; }

 private:
  RecipientValues recipient_;
};

std::string LineOf(const RecipientValues& recipient) {
  return recipient.nickname + " - " + recipient.email_address;
}

// The order of a sorted list box: letter case aside, then byte by byte.
bool LineBefore(const RecipientValues& a, const RecipientValues& b) {
  const std::string left = LineOf(a);
  const std::string right = LineOf(b);
  const int folded = ::strcasecmp(left.c_str(), right.c_str());
  return folded != 0 ? folded < 0 : left < right;
}

void Label(wxWindow* parent, const char* text, int x, int y, int width) {
  new wxStaticText(parent, wxID_ANY, text, wxPoint(x, y), wxSize(width, 25));
}

void Button(wxWindow* parent, int program_id, const char* text, int x, int y) {
  new wxButton(parent, ToolkitId(program_id), text, wxPoint(x, y), wxSize(50, 25));
}

}  // namespace

// clang-format off
wxBEGIN_EVENT_TABLE(InvitationPanel, wxFrame)
  EVT_CLOSE(InvitationPanel::OnCloseWindow)
  EVT_BUTTON(ToolkitId(InvitationPanel::kAddId), InvitationPanel::OnAdd)
  EVT_BUTTON(ToolkitId(InvitationPanel::kRemoveId), InvitationPanel::OnRemove)
  EVT_BUTTON(ToolkitId(InvitationPanel::kSendId), InvitationPanel::OnSend)
  EVT_BUTTON(ToolkitId(InvitationPanel::kCloseId), InvitationPanel::OnHide)
wxEND_EVENT_TABLE()
    // clang-format on

    InvitationPanel::InvitationPanel(wxWindow* parent, ProgramSettings& settings,
                                     EventWindow& events, GuiReporter& reporter)
    : wxFrame(parent, ToolkitId(kId), "Quillo Invitation Panel", wxPoint(0, 0), wxSize(400, 440),
              kPanelStyle),
      settings_(settings),
      events_(events),
      reporter_(reporter) {
  // A panel as the only child gives the frame its usual background and
  // keyboard navigation; the controls keep their fixed positions in it.
  auto* panel = new wxPanel(this);
  // The fixed label sizes were measured for a small font.
  panel->SetFont(PanelFont());
  new wxStaticBox(panel, wxID_ANY, "Add Database Entry", wxPoint(8, 4), wxSize(375, 150));
  Label(panel, "Nickname", 25, 25, 100);
  nickname_ = new wxTextCtrl(panel, wxID_ANY, wxEmptyString, wxPoint(25, 40), wxSize(200, 25));
  Label(panel, "Recipient Email Address", 25, 70, 150);
  email_ = new wxTextCtrl(panel, wxID_ANY, wxEmptyString, wxPoint(25, 85), wxSize(340, 25));
  Button(panel, kAddId, "Add", 25, 120);
  Button(panel, kRemoveId, "Remove", 85, 120);
  new wxStaticBox(panel, wxID_ANY, "Invitation Database", wxPoint(8, 160), wxSize(375, 85));
  // Not a sorted list box: later lines must go to the top, so the panel
  // sorts the book's lines itself.
  list_ = new wxListBox(panel, ToolkitId(kListId), wxPoint(25, 181), wxSize(340, 55), 0, nullptr,
                        wxLB_SINGLE | wxLB_HSCROLL);
  new wxStaticBox(panel, wxID_ANY, "Message", wxPoint(8, 250), wxSize(375, 120));
  message_ = new wxTextCtrl(panel, wxID_ANY, wxEmptyString, wxPoint(25, 271), wxSize(340, 90),
                            wxTE_MULTILINE);
  Button(panel, kSendId, "Send", 8, 380);
  Button(panel, kCloseId, "Close", 68, 380);
  FillRecipients();
}

void InvitationPanel::FillRecipients() {
  std::vector<RecipientValues> recipients;
  std::vector<std::string> unreadable;
  const bool complete = BookListRecipients(settings_.InvitationBook, &recipients, &unreadable);
  events_.ShowLines(ListingGapLines(settings_.InvitationBook, complete, unreadable));
  std::stable_sort(recipients.begin(), recipients.end(), LineBefore);
  for (RecipientValues& recipient : recipients) {
    const wxString line = GuiText(LineOf(recipient));
    list_->Append(line, new RecipientData(std::move(recipient)));
  }
}

void InvitationPanel::ShowInvitation(const std::string& text) {
  message_->ChangeValue(GuiText(text));
  Show();
  Raise();
}

void InvitationPanel::OnAdd(wxCommandEvent&) { Add(); }

void InvitationPanel::Add() {
  RecipientValues recipient;
  recipient.nickname = TrimBlanks(ProgramText(nickname_->GetValue()));
  recipient.email_address = TrimBlanks(ProgramText(email_->GetValue()));
  if (recipient.nickname.empty()) recipient.nickname = "QuilloClient";
  if (recipient.email_address.empty()) {
    ShowProgramMessage("Could not add database entry.\n Invalid Recipient Email Address.\n", " ",
                       " ");
    return;
  }
  const StoreResult stored = BookStoreRecipient(settings_.InvitationBook, recipient);
  if (stored == StoreResult::kUpdated || stored == StoreResult::kUnchanged) {
    RemoveLineOf(recipient.nickname);
  }
  const wxString line = GuiText(LineOf(recipient));
  list_->Insert(line, 0, new RecipientData(std::move(recipient)));
  nickname_->Clear();
  email_->Clear();
}

void InvitationPanel::RemoveLineOf(const std::string& nickname) {
  for (unsigned int i = 0; i < list_->GetCount(); ++i) {
    auto* data = static_cast<RecipientData*>(list_->GetClientObject(i));
    if (data && data->Recipient().nickname == nickname) {
      list_->Delete(i);
      return;
    }
  }
}

void InvitationPanel::OnRemove(wxCommandEvent&) {
  const int selected = list_->GetSelection();
  if (list_->IsEmpty() || selected == wxNOT_FOUND) return;
  auto* data = static_cast<RecipientData*>(list_->GetClientObject(selected));
  if (!data) return;
  const RecipientValues& recipient = data->Recipient();
  if (BookDeleteRecipient(settings_.InvitationBook, recipient)) list_->Delete(selected);
}

void InvitationPanel::OnSend(wxCommandEvent&) {
  // A second send while the first one is still being waited for.
  if (events_.Running()) return;
  if (settings_.MailServer.empty()) {
    ShowProgramMessage(
        "Your Email Configuration is not complete.\n Please enter a mail server name in the "
        "Config panel.\n",
        " ", " ");
    return;
  }
  if (settings_.ReturnEmailAddress.empty()) {
    ShowProgramMessage(
        "Your Email Configuration is not complete.\n Please your return email address in the "
        "Config panel.\n",
        " ", " ");
    return;
  }
  settings_.MailRecipient = TrimBlanks(ChooseRecipient());
  if (settings_.MailRecipient.empty()) {
    ShowProgramMessage("Could not send email message.\n Invalid message recipient.\n", " ", " ");
    return;
  }
  settings_.InvitationSubject = "Quillo Invitation from " + settings_.ScreenName;
  settings_.MailMessage = ProgramText(message_->GetValue());
  RunSend();
}

std::string InvitationPanel::ChooseRecipient() {
  if (email_->GetValue().empty()) {
    const int selected = list_->GetSelection();
    if (selected == wxNOT_FOUND) return std::string();
    auto* data = static_cast<RecipientData*>(list_->GetClientObject(selected));
    return data ? data->Recipient().email_address : std::string();
  }
  if (nickname_->GetValue().empty()) nickname_->ChangeValue("QuilloClient");
  const std::string recipient = ProgramText(email_->GetValue());
  Add();
  return recipient;
}

void InvitationPanel::RunSend() {
  if (settings_.SendMailThread != nullptr) {
    settings_.MailTask.DestroyThread(settings_.SendMailThread, true);
    settings_.SendMailThread = nullptr;
  }
  Thread* thread = settings_.MailTask.Start(MailJobOf(settings_), reporter_);
  settings_.SendMailThread = thread;
  if (thread == nullptr || thread->ErrorCode() != THREAD_NO_ERROR) {
    ShowProgramMessage("Could not send email message.\n Error starting sendmail thread.\n", " ",
                       " ");
    return;
  }
  Hide();
  events_.Reset();
  events_.SetRange(settings_.ProgressGaugeScale * 10000);
  events_.Show();
  events_.Raise();
  events_.AppendLine("Connecting to mail server " + settings_.MailServer);
  PanelWait wait(events_, *this);
  ProgramSettings& settings = settings_;
  const PanelWait::Outcome outcome = wait.Wait([&settings, thread] {
    // The close sequence may have stopped and destroyed the thread.
    return settings.SendMailThread == thread ? thread->State() : ThreadState::INVALID;
  });
  if (outcome == PanelWait::Outcome::kAbandoned) {
    if (settings.SendMailThread == thread) {
      settings.MailTask.DestroyThread(thread, true);
      settings.SendMailThread = nullptr;
    }
    return;
  }
  if (outcome == PanelWait::Outcome::kCancelRequested) {
    Cancelled(thread);
    return;
  }
  // The worker's own lines come first.
  reporter_.Flush();
  events_.SetValue(0);
  events_.SetRunning(false);
  const bool sent = thread->ExitValue() >= 0;
  if (!sent) events_.AppendLine("The email invitation was not sent");
  settings_.MailTask.DestroyThread(thread, true);
  settings_.SendMailThread = nullptr;
  if (sent) events_.CancelOrClose();
}

void InvitationPanel::Cancelled(Thread* thread) {
  SendMailTask& task = settings_.MailTask;
  reporter_.Flush();
  events_.AppendLine("Stopping send mail thread");
  events_.SetValue(0);
  task.CancelThread(thread);
  if (thread->State() != ThreadState::CANCELED) {
    events_.AppendLine("Could not cancel the send mail thread");
  }
  if (task.JoinThread(thread) != 0) events_.AppendLine("Could not join the send mail thread");
  task.DestroyThread(thread, true);
  settings_.SendMailThread = nullptr;
  events_.AppendLine("The current request was canceled");
  events_.AppendLine("The email invitation was not sent");
  events_.SetRunning(false);
}

void InvitationPanel::OnHide(wxCommandEvent&) { Hide(); }

void InvitationPanel::OnCloseWindow(wxCloseEvent& event) {
  // The main frame destroys its panels itself at the end of the run.
  if (!event.CanVeto()) {
    event.Skip();
    return;
  }
  event.Veto();
  Hide();
}
