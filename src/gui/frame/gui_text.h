#ifndef QUILLO_GUI_FRAME_GUI_TEXT_H
#define QUILLO_GUI_FRAME_GUI_TEXT_H

#include <wx/string.h>

#include <string>

// The one place where the program's 8-bit text meets the toolkit's strings.
// Bytes that form valid UTF-8 are shown as such; any other byte is shown as
// its Latin-1 character, so no byte a peer sends is ever lost or dropped.
wxString GuiText(const std::string& bytes);

// Text typed into the GUI, as the UTF-8 bytes the program sends and stores.
std::string ProgramText(const wxString& text);

#endif  // QUILLO_GUI_FRAME_GUI_TEXT_H
