#ifndef QUILLO_GUI_PANELS_PANEL_STYLE_H
#define QUILLO_GUI_PANELS_PANEL_STYLE_H

#include <wx/defs.h>
#include <wx/font.h>

// The frame style of the secondary windows (Connect, Config, Invitation,
// Statistics, event window): movable, resizable, closed by their close box.
constexpr long kPanelStyle =
    wxCAPTION | wxSYSTEM_MENU | wxRAISED_BORDER | wxRESIZE_BORDER | wxCLOSE_BOX | wxCLIP_CHILDREN;

// The face the panels' fixed label and button sizes were measured for.
inline wxFont PanelFont() { return wxFont(wxFontInfo(9).Family(wxFONTFAMILY_SWISS)); }

#endif  // QUILLO_GUI_PANELS_PANEL_STYLE_H
