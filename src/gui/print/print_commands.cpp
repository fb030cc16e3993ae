#include "gui/print/print_commands.h"

#include <wx/filedlg.h>
#include <wx/filefn.h>
#include <wx/frame.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/printdlg.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>

#include <climits>
#include <memory>
#include <string>

#include "core/settings/program_settings.h"
#include "core/util/replace_file.h"
#include "gui/frame/first_show.h"
#include "gui/frame/gui_text.h"
#include "gui/frame/program_message.h"
#include "gui/print/conversation_printout.h"
#include "gui/print/print_data.h"

namespace {

const char kInitializingCaption[] = "Initializing Printer";
const char kInitializingText[] =
    "There was a initializing the printer.\nPerhaps your current printer is not set correctly?";

// The conversation's bytes in place of the file, never truncating it: a
// failed save leaves the old file as it was. False when it cannot be done.
bool WriteTranscript(const wxTextCtrl& conversation, const std::string& path) {
  return ReplaceFile(FileIo::Posix(), path, ProgramText(conversation.GetValue()), 0666);
}

void SetStatus(wxFrame* frame, const std::string& text, int field) {
  wxStatusBar* bar = frame ? frame->GetStatusBar() : nullptr;
  if (bar && field < bar->GetFieldsCount()) bar->SetStatusText(GuiText(text), field);
}

// A box with an OK button and no icon.
void ShowPlainBox(const wxString& text, const wxString& caption) {
  wxMessageDialog box(nullptr, text, caption, wxOK | wxICON_NONE);
  box.ShowModal();
}

// Print and Preview lay out only the papers the printout knows.
bool PaperChecked(ToolkitPrintData& print) {
  if (IsSupportedPaper(print.Data().GetPaperId())) return true;
  ShowProgramMessage("The selected paper size is not supported by this printer\n", " ", " ");
  return false;
}

ConversationPrintout* NewPrintout(const wxTextCtrl& conversation, const ProgramSettings& settings,
                                  ToolkitPrintData& print) {
  return new ConversationPrintout(GuiText(settings.ProgramTitle), conversation, print.Layout(),
                                  GuiText(settings.mswpDocumentName));
}

}  // namespace

bool SaveConversation(wxFrame* frame, const wxTextCtrl* conversation, ProgramSettings& settings,
                      bool save_as) {
  wxSetWorkingDirectory(GuiText(settings.HomeDirectory));
  if (save_as || settings.SaveFileName != settings.SavedFileName) {
    wxFileDialog dialog(frame, save_as ? "Save this session as:" : "Save this session:", "", "",
                        "*.txt", wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK) {
      if (save_as) wxSetWorkingDirectory(GuiText(settings.WorkingDirectory));
      return false;
    }
    settings.SavedFileName = ProgramText(dialog.GetPath());
    settings.SaveFileName = settings.SavedFileName;
  }
  const bool written = WriteTranscript(*conversation, settings.SaveFileName);
  if (written) {
    SetStatus(frame, "Saved " + settings.SaveFileName, 0);
  } else {
    ShowProgramMessage("Cannot write to the ", settings.SaveFileName, " file!");
  }
  if (save_as) wxSetWorkingDirectory(GuiText(settings.WorkingDirectory));
  return written;
}

bool PrintConversation(wxFrame* frame, const wxTextCtrl* conversation, ProgramSettings& settings,
                       ToolkitPrintData& print, bool show_print_dialog) {
  if (!PaperChecked(print)) return false;
  wxPrintDialogData dialog_data(print.Data());
  if (!show_print_dialog) {
    dialog_data.SetAllPages(true);
    dialog_data.SetFromPage(1);
    dialog_data.SetToPage(INT_MAX);
  }
  wxPrinter printer(&dialog_data);
  std::unique_ptr<ConversationPrintout> printout(NewPrintout(*conversation, settings, print));
  bool printed;
  {
    // Failures are reported by the boxes below, not by the toolkit's log.
    wxLogNull quiet;
    printed = printer.Print(frame, printout.get(), show_print_dialog);
  }
  if (printout->MeasurementFailed()) {
    ShowPlainBox(kInitializingText, kInitializingCaption);
    return false;
  }
  if (printed) {
    print.Data() = printer.GetPrintDialogData().GetPrintData();
    print.Layout().LinesPerPage = printout->LinesPerPage();
    return true;
  }
  ShowPlainBox(wxPrinter::GetLastError() == wxPRINTER_ERROR
                   ? "There was a problem printing.\nPerhaps your current printer is not set "
                     "correctly?"
                   : "Print operation canceled",
               "Printing");
  return false;
}

wxPreviewFrame* PreviewConversation(wxFrame* frame, const wxTextCtrl* conversation,
                                    ProgramSettings& settings, ToolkitPrintData& print) {
  if (!PaperChecked(print)) return nullptr;
  wxPrintDialogData dialog_data(print.Data());
  ConversationPrintout* shown = NewPrintout(*conversation, settings, print);
  auto* preview =
      new wxPrintPreview(shown, NewPrintout(*conversation, settings, print), &dialog_data);
  if (!shown->MeasureForPreview()) {
    delete preview;
    ShowPlainBox(kInitializingText, kInitializingCaption);
    return nullptr;
  }
  if (!preview->IsOk()) {
    delete preview;
    ShowPlainBox(
        "There was a problem previewing.\nPerhaps your current printer is not set "
        "correctly?",
        "Previewing");
    return nullptr;
  }
  print.Layout().LinesPerPage = shown->LinesPerPage();
  preview->SetZoom(150);
  auto* window =
      new wxPreviewFrame(preview, frame, GuiText(settings.ProgramTitle), wxDefaultPosition,
                         wxDefaultSize, wxDEFAULT_FRAME_STYLE, "frame");
  if (frame) window->SetIcons(frame->GetIcons());
  window->Centre(wxBOTH);
  window->InitializeWithModality(wxPreviewFrame_NonModal);
  SizeBeforeFirstShow(window);
  window->Show();
  return window;
}

void PrinterSetup(wxWindow* parent, ToolkitPrintData& print) {
  print.PushPaper();
  print.PushOrientation();
  // The toolkit's printer set-up: printer format, paper and orientation,
  // without starting a job.
  wxPageSetupDialogData setup_data(print.Data());
  wxPageSetupDialog dialog(parent, &setup_data);
  dialog.ShowModal();
  print.Data() = dialog.GetPageSetupDialogData().GetPrintData();
}
