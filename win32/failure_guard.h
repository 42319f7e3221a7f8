// The failure guard around the mode's run: a structured-exception frame of our own, since the
// compiler has no __try/__except.
#pragma once

#ifdef _WIN32
#include <windows.h>

// Runs body(argument) inside the guard and returns its result. An exception that escapes the
// body is handed to UnhandledExceptionFilter; when that asks for the handler, the nested frames
// are unwound, the screen-saver-running state is switched off and the exception's code is
// returned instead (0xC0000005 after an access violation: the code the process would have
// ended with unguarded, and never one of the modes' own results).
int run_guarded(int (*body)(const char*), const char* argument);

#if !defined(__i386__)
#error "the failure guard is written for the i386 exception chain"
#endif

// The head of the calling thread's exception chain, at fs:[0] on i386.
inline EXCEPTION_REGISTRATION_RECORD* chain_head() {
    EXCEPTION_REGISTRATION_RECORD* head;
    __asm__ volatile("movl %%fs:0, %0" : "=r"(head) : : "memory");
    return head;
}

inline void set_chain_head(EXCEPTION_REGISTRATION_RECORD* head) {
    __asm__ volatile("movl %0, %%fs:0" : : "r"(head) : "memory");
}
#endif
