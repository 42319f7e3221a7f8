// The host's one record of shared state: the module, the saver window, the flags that decide
// how the window behaves and whether it may close, the loaded password verifier, the input
// method's context and the cursor reference. Everything here lives on the main thread.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <imm.h>

typedef BOOL(WINAPI* VerifyScreenSavePwdFn)(HWND window);
typedef HIMC(WINAPI* ImmAssociateContextFn)(HWND window, HIMC context);

constexpr DWORD NO_VERIFICATION_YET = 0xFFFFFFFF;

struct HostState {
    HINSTANCE instance;
    int win9x;                  // 1 on the Windows 95 family: gates every password feature
    HWND saver_window;
    int preview;                // 1 when running as a child of a preview window; never cleared
    BOOL closing;               // non-zero once the saver may close; never cleared
    int verifying;              // 1 while a password verification is under way
    HMODULE verifier_module;    // PASSWORD.CPL while loaded
    VerifyScreenSavePwdFn verify_fn;
    UINT autoplay_message;      // registered "QueryCancelAutoPlay", 0 when none
    HMODULE imm_module;         // IMM32.DLL, only when already loaded in the process
    ImmAssociateContextFn associate_context_fn;
    HIMC saved_ime_context;
    POINT cursor_reference;     // mouse movement is measured from here
    UINT move_threshold;        // movement still tolerated, in pixels (x plus y distance)
    DWORD last_verify_tick;     // end of the last verification; NO_VERIFICATION_YET at first
    char saver_name[40];        // shown after the dialog caption's prefix; stays empty
};

extern HostState host;

// Restores the initial values (tests drive several runs in one process).
void reset_host_state();
#endif
