// Start-up: read the mode switch from the command line, run exactly one mode, and end the
// process with that mode's result.
#pragma once

#ifdef _WIN32
#include <windows.h>

// Never returns: ends the process with ExitProcess.
[[noreturn]] void start_host();

// The command line behind the program name: the name skipped (whole when quoted, up to the
// first byte at or below 0x20 otherwise), then every byte from 0x01 to 0x20.
const char* skip_program_name(const char* line);

// What a command line asks for, read without touching a window: the mode and the decimal handle
// that goes with it (0 where none is given).
enum ModeKind {
    MODE_NONE,            // no mode, or a letter that names none: exit -1
    MODE_SAVER,           // s: full screen
    MODE_PREVIEW,         // p or l: a child of the window handle
    MODE_CONFIGURE,       // no letter at all: the dialog without an owner
    MODE_CONFIGURE_OWNED, // c, or c:HANDLE: the dialog owned by that window or the foreground one
    MODE_PASSWORD,        // a: the password change, owned by the handle or the foreground window
};
struct ModeRequest {
    ModeKind kind;
    UINT handle;
};

// Reads the mode letter after any spaces, dashes and slashes of tail (the command line behind
// the program name), and the handle that follows it.
ModeRequest parse_mode_request(const char* tail);

// Runs the mode named by tail (the command line behind the program name); the exit code.
int dispatch_mode(HINSTANCE instance, const char* tail);

// Unsigned decimal read from the start of text, wrapping at 32 bits; 0 without a digit.
UINT parse_decimal(const char* text);

int run_preview(UINT handle);
int run_password_change(UINT handle);
#endif
