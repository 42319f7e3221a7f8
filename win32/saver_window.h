// The saver window: its class, the full-screen popup or preview child, the message loop, and
// the host window procedure that stands in front of the saver procedure.
#pragma once

#ifdef _WIN32
#include <windows.h>

// Runs the saver until its window is destroyed: full screen when parent is null, otherwise
// as the parent's child. Returns the message loop's exit code.
int run_saver_window(HWND parent);

LRESULT CALLBACK host_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
#endif
