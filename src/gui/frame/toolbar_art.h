#ifndef QUILLO_GUI_FRAME_TOOLBAR_ART_H
#define QUILLO_GUI_FRAME_TOOLBAR_ART_H

#include <wx/bitmap.h>
#include <wx/iconbndl.h>

#include <string>

// The seven toolbar images by their resource names ("save", "saveas",
// "print", "preview", "page", "clear", "help"): the desktop theme's icon of
// the matching freedesktop name at 16 pixels, or the program's own image
// when the theme has none. An unknown name gives an invalid bitmap.
wxBitmap ToolbarBitmap(const std::string& resource);

// The program's own image only, whatever the theme offers.
wxBitmap BuiltInToolbarBitmap(const std::string& resource);

// The program icon "wxappfw" in 32 and 16 pixels.
wxIconBundle ProgramIcon();

#endif  // QUILLO_GUI_FRAME_TOOLBAR_ART_H
