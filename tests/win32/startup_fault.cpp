// The failure guard under a real fault. This program links the real host but brings its own
// run_saver_window (the linker then takes this one and leaves the host's in the library), which
// switches the screen-saver-running state on, installs an exception frame of its own and writes
// to a read-only page, inside dispatch_mode's guarded run of the full-screen mode.
//
// FAULT_VERDICT chooses what the process's unhandled-exception filter (which
// UnhandledExceptionFilter consults first) answers: "execute" (EXCEPTION_EXECUTE_HANDLER), or
// "continue" (it makes the page writable and answers EXCEPTION_CONTINUE_EXECUTION: the write
// is retried and succeeds, and the mode returns 42).
//
// Prints: "plain=<result> chain=<same|changed>" for a run that does not fault, then
// "filter=<n> code=0x..." for each call of the filter, "nested=<events>", and after the guard
// "result=0x... running=<0|1> chain=<same|changed>".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "failure_guard.h"
#include "host_state.h"
#include "start_up.h"

namespace {

int filter_calls;
int volatile* fault_page;  // read-only until the filter lets the write through
std::string nested_events;

LONG WINAPI process_filter(EXCEPTION_POINTERS* pointers) {
    ++filter_calls;
    std::printf("filter=%d code=0x%08lX\n", filter_calls,
                static_cast<unsigned long>(pointers->ExceptionRecord->ExceptionCode));
    std::fflush(stdout);
    const char* verdict = std::getenv("FAULT_VERDICT");
    if (verdict && std::strcmp(verdict, "continue") == 0) {
        DWORD old;
        VirtualProtect(const_cast<int*>(fault_page), 4096, PAGE_READWRITE, &old);
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    return EXCEPTION_EXECUTE_HANDLER;
}

// A frame nested inside the guarded run, as system code between the guard and the fault
// would have: it must be asked first, and unwound when the guard takes the exception.
EXCEPTION_DISPOSITION NTAPI nested_handler(EXCEPTION_RECORD* record, void*, CONTEXT*, void*) {
    nested_events += (record->ExceptionFlags & EXCEPTION_UNWINDING) ? "unwound," : "asked,";
    return ExceptionContinueSearch;
}

}  // namespace

int run_saver_window(HWND) {
    BOOL previous = FALSE;
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, TRUE, &previous, 0);
    EXCEPTION_REGISTRATION_RECORD nested = {};
    nested.Handler = nested_handler;
    nested.Next = chain_head();
    set_chain_head(&nested);
    *fault_page = 1;
    set_chain_head(nested.Next);
    return 42;
}

int main() {
    SetUnhandledExceptionFilter(process_filter);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    fault_page = static_cast<int volatile*>(VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READONLY));
    EXCEPTION_REGISTRATION_RECORD* before = chain_head();

    // A mode without a fault leaves the exception chain as it found it.
    int plain = dispatch_mode(instance, "/x");
    std::printf("plain=%d chain=%s\n", plain, chain_head() == before ? "same" : "changed");
    std::fflush(stdout);

    int result = dispatch_mode(instance, "/s");
    BOOL running = TRUE;
    SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
    std::printf("nested=%s\n", nested_events.c_str());
    std::printf("result=0x%08lX running=%d chain=%s win9x=%d\n", static_cast<unsigned long>(result),
                running ? 1 : 0, chain_head() == before ? "same" : "changed", host.win9x);
    std::fflush(stdout);
    ExitProcess(static_cast<UINT>(result));
}
