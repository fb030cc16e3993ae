#ifndef QUILLO_GUI_FRAME_SHELL_H
#define QUILLO_GUI_FRAME_SHELL_H

#include <string>

// Result codes of a shell open, with the meanings the messages below give
// them: above 32 is success.
enum ShellResult {
  kShellFailed = 0,        // any other failure
  kShellNotFound = 2,      // a local document that does not exist
  kShellAccessDenied = 5,  // the handler could not be started for lack of rights
  kShellNoAssociation = 31,
  kShellOk = 33,
};

// Hands a file path or a URI ("https:", "mailto:", "file:" ...) to the
// desktop's default handler. Returns one of the codes above.
int ShellOpen(const std::string& text);

// The message for a failed open (code 32 or below); empty for success.
std::string ShellErrorText(int code, const std::string& text);

// ShellOpen, and on failure the "Program Message" box with the message.
// GUI thread only.
void OpenWithShell(const std::string& text);

#endif  // QUILLO_GUI_FRAME_SHELL_H
