#include "gui/frame/chat_panel.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/textctrl.h>
#include <wx/textdlg.h>

#include <cerrno>
#include <utility>

#include "core/chat/session.h"
#include "core/settings/program_settings.h"
#include "core/settings/settings_file.h"
#include "core/settings/settings_parts.h"
#include "core/thread/time_stamp.h"
#include "gui/frame/gui_text.h"
#include "gui/frame/main_frame.h"
#include "gui/frame/program_message.h"
#include "gui/frame/window_ids.h"
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
  EVT_CHAR_HOOK(ChatPanel::OnCharHook)
wxEND_EVENT_TABLE()
    // clang-format on

    ChatPanel::ChatPanel(wxWindow* parent, MainFrame& frame)
    : wxPanel(parent, ToolkitId(kId), wxPoint(0, 0), wxSize(400, 400), wxTAB_TRAVERSAL),
      frame_(frame),
      settings_(frame.Settings()),
      session_(frame.Session()) {
  // A size given at creation would become the minimum and hold the sash.
  SetMinSize(wxDefaultSize);
  input_ = new wxTextCtrl(this, ToolkitId(kInputId), wxEmptyString, wxDefaultPosition,
                          wxSize(-1, 60), wxTE_MULTILINE);
  auto* send = new wxButton(this, ToolkitId(kSendId), "<Send>");
  multi_line_ = new wxCheckBox(this, wxID_ANY, "Process multi-line text");
  auto* send_row = new wxBoxSizer(wxHORIZONTAL);
  send_row->Add(send, 0, wxALIGN_CENTER_VERTICAL);
  send_row->Add(multi_line_, 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 16);

  auto* column = new wxBoxSizer(wxVERTICAL);
  // The input box is what grows: people write longer lines in a wider box.
  column->Add(input_, 1, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 4);
  column->Add(send_row, 0, wxALL, 4);
  column->Add(BuildSessionBox(), 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 4);
  SetSizer(column);
}

// The session commands in one row, in their order; Stats stands apart at the
// right end as it always has.
wxSizer* ChatPanel::BuildSessionBox() {
  auto* box = new wxStaticBoxSizer(wxHORIZONTAL, this, "Session");
  wxWindow* parent = box->GetStaticBox();
  const std::pair<int, const char*> commands[] = {{kHostId, "Host"},     {kConnectId, "Connect"},
                                                  {kConfigId, "Config"}, {kInviteId, "Invite"},
                                                  {kEndId, "End"},       {kStatsId, "Stats"}};
  for (const auto& command : commands) {
    if (command.first == kStatsId) box->AddStretchSpacer();
    auto* button = new wxButton(parent, ToolkitId(command.first), command.second, wxDefaultPosition,
                                wxDefaultSize, wxBU_EXACTFIT);
    box->Add(button, 0, wxALL, 3);
  }
  return box;
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

// In multi-line mode Enter only adds a line, so Ctrl+Enter is how the text
// leaves without reaching for the mouse.
void ChatPanel::OnCharHook(wxKeyEvent& event) {
  const int key = event.GetKeyCode();
  const bool enter = key == WXK_RETURN || key == WXK_NUMPAD_ENTER;
  if (enter && event.GetModifiers() == wxMOD_CONTROL && multi_line_->GetValue() &&
      event.GetEventObject() == input_) {
    Send();
    return;
  }
  event.Skip();
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
