// The configure dialog: a picture of the saver, its name and version, the home page, and the
// check box that lets the frame fill the screen.
#pragma once

#ifdef _WIN32
#include <windows.h>

// Runs the modal dialog; 1 after OK, 2 after Esc or the close box, -1 when it cannot be made.
INT_PTR show_configure_dialog(HWND owner);

BOOL dialog_class_hook(HINSTANCE instance);

INT_PTR CALLBACK configure_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
#endif
