#include "gui/frame/conversation_window.h"

#include "gui/frame/gui_text.h"
#include "gui/frame/window_ids.h"

ConversationWindow::ConversationWindow(wxWindow* parent, const std::string& program_title)
    : wxTextCtrl(parent, ToolkitId(kId), wxEmptyString, wxDefaultPosition, wxSize(400, 400),
                 wxTE_MULTILINE | wxTE_READONLY),
      font_(10, wxFONTFAMILY_SWISS, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL) {
  // A size given at creation would also become the minimum size and keep the
  // splitter from placing its sash above 400 pixels.
  SetMinSize(wxDefaultSize);
  SetFont(font_);
  AppendBytes(program_title + " 100% secure private point-to-point conversations\n");
}

void ConversationWindow::AppendBytes(const std::string& bytes) {
  if (bytes.empty()) return;
  AppendText(GuiText(bytes));
  ShowPosition(GetLastPosition());
}

std::string ConversationWindow::TranscriptBytes() const { return ProgramText(GetValue()); }
