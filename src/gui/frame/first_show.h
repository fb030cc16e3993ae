#ifndef QUILLO_GUI_FRAME_FIRST_SHOW_H
#define QUILLO_GUI_FRAME_FIRST_SHOW_H

class wxWindow;

// Under a window manager, wxWidgets holds back a top-level window's first
// showing until the desktop has told the size of its decorations, and
// meanwhile realizes the GTK window at 2x1 pixels. GTK then creates the X
// window at that size and, once shown, lays the children out in it before
// the real size arrives: the toolbar, boxes and scroll bars warn of negative
// sizes. Giving the unrealized window the size it will have as its
// allocation makes GTK create it at that size instead.
//
// Call before the window is first shown; a window already realized is left
// alone. Main thread only.
void SizeBeforeFirstShow(wxWindow* window);

#endif  // QUILLO_GUI_FRAME_FIRST_SHOW_H
