// The rules that end the saver, the password verification before a close, the system's
// screen-saver-running state and the password change of the Windows 95 family.
#pragma once

#ifdef _WIN32
#include <windows.h>

// The host's default behaviour for the saver window: every message ends here.
LRESULT dismissal_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Non-zero when the window may close (asks for the password where one is set).
BOOL verify_before_close(HWND window);

// later - earlier, correct across the tick counter's wrap.
DWORD ticks_between(DWORD earlier, DWORD later);

void load_password_verifier();
void release_password_verifier();
void set_saver_running(BOOL running);
void change_password(HWND owner);
#endif
