#include "gui/frame/chat_panel.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/statbox.h>
#include <wx/textctrl.h>
#include <wx/textdlg.h>

#include <cerrno>

#include "core/chat/session.h"
#include "core/settings/program_settings.h"
#include "core/settings/settings_file.h"
#include "core/settings/settings_parts.h"
#include "core/thread/time_stamp.h"
#include "gui/frame/gui_text.h"
#include "gui/frame/main_frame.h"
#include "gui/frame/program_message.h"
#include "gui/frame/window_ids.h"
#include "gui/panels/panel_style.h"
#include "gui/panels/statistics_panel.h"

namespace {

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

}  // namespace

// clang-format off
wxBEGIN_EVENT_TABLE(ChatPanel, wxPanel)
  EVT_BUTTON(ToolkitId(ChatPanel::kSendId), ChatPanel::OnSend)
  EVT_BUTTON(ToolkitId(ChatPanel::kHostId), ChatPanel::OnHost)
  EVT_BUTTON(ToolkitId(ChatPanel::kConnectId), ChatPanel::OnConnect)
  EVT_BUTTON(ToolkitId(ChatPanel::kConfigId), ChatPanel::OnConfig)
  EVT_BUTTON(ToolkitId(ChatPanel::kInviteId), ChatPanel::OnInvite)
  EVT_BUTTON(ToolkitId(ChatPanel::kEndId), ChatPanel::OnEnd)
  EVT_BUTTON(ToolkitId(ChatPanel::kStatsId), ChatPanel::OnStats)
  EVT_TEXT(ToolkitId(ChatPanel::kInputId), ChatPanel::OnInputChanged)
wxEND_EVENT_TABLE()
    // clang-format on

    ChatPanel::ChatPanel(wxWindow* parent, MainFrame& frame)
    : wxPanel(parent, ToolkitId(kId), wxPoint(0, 0), wxSize(400, 400), wxTAB_TRAVERSAL),
      frame_(frame),
      settings_(frame.Settings()),
      session_(frame.Session()) {
  // A size given at creation would become the minimum and hold the sash.
  SetMinSize(wxDefaultSize);
  input_ = new wxTextCtrl(this, ToolkitId(kInputId), wxEmptyString, wxPoint(4, 5), wxSize(530, 100),
                          wxTE_MULTILINE);
  new wxButton(this, ToolkitId(kSendId), "<Send>", wxPoint(4, 110), wxSize(116, 25));
  multi_line_ =
      new wxCheckBox(this, wxID_ANY, "Process multi-line text", wxPoint(140, 110), wxSize(250, 25));
  new wxStaticBox(this, wxID_ANY, "Session", wxPoint(4, 155), wxSize(530, 60));
  struct Command {
    int id;
    const char* label;
    int x;
  };
  const Command commands[] = {{kHostId, "Host", 17},      {kConnectId, "Connect", 87},
                              {kConfigId, "Config", 153}, {kInviteId, "Invite", 219},
                              {kEndId, "End", 285},       {kStatsId, "Stats", 470}};
  // The session buttons keep their narrow fixed width; a slightly smaller
  // face, as the panels use, keeps "Connect" from being clipped on GTK.
  const wxFont button_font = PanelFont();
  for (const Command& command : commands) {
    auto* button = new wxButton(this, ToolkitId(command.id), command.label, wxPoint(command.x, 175),
                                wxSize(50, 25));
    button->SetFont(button_font);
  }
}

// GTK must not see its buffer cleared inside its own change notification, so
// Enter sends on the next turn of the event loop.
void ChatPanel::OnInputChanged(wxCommandEvent&) {
  if (multi_line_->GetValue() || send_pending_) return;
  if (!input_->GetValue().Contains("\n")) return;
  send_pending_ = true;
  CallAfter([this] {
    send_pending_ = false;
    if (!multi_line_->GetValue() && input_->GetValue().Contains("\n")) Send();
  });
}

void ChatPanel::Send() {
  if (session_.Send(ProgramText(input_->GetValue()))) input_->Clear();
}

void ChatPanel::Host() {
  if (!session_.CheckHost()) return;
  PromptScreenName(true);
  session_.Host(SessionSnapshotOf(settings_));
}

void ChatPanel::Connect() {
  if (!session_.CheckConnect()) return;
  PromptScreenName(false);
  frame_.ShowPanel(frame_.ConnectPanel());
}

void ChatPanel::Config() { frame_.ShowPanel(frame_.ConfigPanel()); }

void ChatPanel::Invite() {
  if (!session_.CheckInvitation()) return;
  TimeStamp now;
  frame_.ShowInvitation(JoinLines(session_.InvitationLines(now.Text())));
}

void ChatPanel::End() {
  session_.End([] {
    return AskProgramQuestion(
        "You have ended your Quillo host session.\n Would you like to host another session?");
  });
}

void ChatPanel::Stats() { frame_.GetStatsPanel()->ShowText(JoinLines(session_.StatsLines())); }

void ChatPanel::PromptScreenName(bool for_host) {
  if (!ScreenNameIsDefault(settings_)) return;
  wxTextEntryDialog prompt(this, "Please enter a screen name\n", "Screen name input", wxEmptyString,
                           wxOK | wxCANCEL | wxCENTRE);
  if (prompt.ShowModal() != wxID_OK) return;
  const std::string entry =
      CutOnCharacter(ProgramText(prompt.GetValue()), ProgramSettings::kMaxScreenName);
  AcceptScreenName(settings_, entry, for_host);
  SettingsFile file(settings_.SettingsFilePath);
  if (file.Put("ScreenName", settings_.ScreenName) == 0) {
    ShowProgramMessage(SettingNotSavedText(settings_.SettingsFilePath, errno), " ", " ");
  }
}

std::string ChatPanel::CutOnCharacter(const std::string& text, size_t max_bytes) {
  if (text.size() <= max_bytes) return text;
  size_t end = max_bytes;
  // Step back over continuation bytes to the start of the cut character.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}
