#ifndef QUILLO_GUI_PRINT_PRINT_COMMANDS_H
#define QUILLO_GUI_PRINT_PRINT_COMMANDS_H

class wxFrame;
class wxPreviewFrame;
class wxTextCtrl;
class wxWindow;
class ProgramSettings;
class ToolkitPrintData;

// The File and Print menu commands. Each runs on the GUI thread, reads the
// conversation from the given text control and reports to the user with
// its own message boxes; `frame` parents the dialogs and, when it has a
// status bar, receives the status texts. None of them keeps a pointer to
// its arguments after it returns, except that a preview window reads the
// conversation text it was opened on.

// Save (id 15, save_as false) and Save As (id 16, save_as true). The first
// Save asks for a file name; later Saves write to the same file without
// asking. Returns true when the conversation was written.
bool SaveConversation(wxFrame* frame, const wxTextCtrl* conversation, ProgramSettings& settings,
                      bool save_as);

// Print (id 28). With show_print_dialog false the job goes straight to the
// printer or file that the print data names, all pages (used by tests and
// batch printing). Returns true when the job was printed.
bool PrintConversation(wxFrame* frame, const wxTextCtrl* conversation, ProgramSettings& settings,
                       ToolkitPrintData& print, bool show_print_dialog = true);

// Preview (id 31). Opens a modeless preview window at 150 % and returns it,
// or returns nullptr after telling the user why it could not.
wxPreviewFrame* PreviewConversation(wxFrame* frame, const wxTextCtrl* conversation,
                                    ProgramSettings& settings, ToolkitPrintData& print);

// Printer Setup (id 29): the toolkit's printer set-up dialog (printer,
// paper, orientation) on the print data; its choices are kept whichever
// button closed it.
void PrinterSetup(wxWindow* parent, ToolkitPrintData& print);

#endif  // QUILLO_GUI_PRINT_PRINT_COMMANDS_H
