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

// Runs the mode named by tail (the command line behind the program name); the exit code.
int dispatch_mode(HINSTANCE instance, const char* tail);

// Unsigned decimal read from the start of text, wrapping at 32 bits; 0 without a digit.
UINT parse_decimal(const char* text);

int run_preview(const char* text);
int run_password_change(const char* text);
#endif
