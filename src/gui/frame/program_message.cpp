#include "gui/frame/program_message.h"

#include <wx/msgdlg.h>

#include "gui/frame/gui_text.h"

namespace {
const char kCaption[] = "Program Message";
}

void ShowProgramMessage(const std::string& first, const std::string& second,
                        const std::string& third) {
  wxMessageDialog box(nullptr, GuiText(first + second + third), kCaption,
                      wxOK | wxICON_EXCLAMATION | wxCENTRE);
  box.ShowModal();
}

bool AskProgramQuestion(const std::string& question) {
  wxMessageDialog box(nullptr, GuiText(question), kCaption, wxYES_NO | wxICON_QUESTION | wxCENTRE);
  return box.ShowModal() == wxID_YES;
}
