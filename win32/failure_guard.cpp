// The failure guard. GCC for i686 Windows has no __try/__except, so this builds by hand what
// those keywords compile to: a registration record on the stack, linked at the head of the
// thread's exception chain (fs:[0]) for the duration of the body. The system calls its handler
// when an exception is not handled by any frame nested inside. The handler asks
// UnhandledExceptionFilter what to do; for "execute the handler" it unwinds the nested frames
// with RtlUnwind (their cleanup runs, fs:[0] comes back to our record) and jumps back into
// run_guarded with __builtin_longjmp, which only needs the frame and stack pointers saved by
// __builtin_setjmp. The jump goes up the stack to a frame that is still live, as the code
// behind __except does. Images built by this toolchain carry no SafeSEH table, so the system
// accepts a handler anywhere in the image.
#include "failure_guard.h"

#include "dismissal.h"

namespace {

// The registration record must come first: the system hands its address back to the
// handler as the establisher frame.
struct GuardFrame {
    EXCEPTION_REGISTRATION_RECORD record;
    void* resume[5];  // __builtin_setjmp's buffer
    DWORD code;       // the code of the exception that was handled
};

EXCEPTION_DISPOSITION NTAPI guard_handler(EXCEPTION_RECORD* record, void* establisher,
                                          CONTEXT* context, void*) {
    // Called again while the frames are unwound: nothing of ours to clean up.
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    EXCEPTION_POINTERS pointers = {record, context};
    LONG verdict = UnhandledExceptionFilter(&pointers);
    if (verdict == EXCEPTION_CONTINUE_EXECUTION) return ExceptionContinueExecution;
    if (verdict != EXCEPTION_EXECUTE_HANDLER) return ExceptionContinueSearch;
    GuardFrame* frame = static_cast<GuardFrame*>(establisher);
    frame->code = record->ExceptionCode;
    // On i386 RtlUnwind returns to its caller; the target address is not used.
    RtlUnwind(establisher, nullptr, record, nullptr);
    __builtin_longjmp(frame->resume, 1);
}

}  // namespace

int run_guarded(int (*body)(const char*), const char* argument) {
    // The record lives in this function's frame: the chain must point into the stack, and
    // the frame outlives the body. Past the jump registers hold nothing; GCC reloads what it
    // needs from the frame, where the handler left the code.
    GuardFrame frame = {};
    frame.record.Handler = guard_handler;
    frame.record.Next = chain_head();
    if (__builtin_setjmp(frame.resume) == 0) {
        set_chain_head(&frame.record);
        int result = body(argument);
        set_chain_head(frame.record.Next);
        return result;
    }
    set_chain_head(frame.record.Next);
    set_saver_running(FALSE);
    return static_cast<int>(frame.code);
}
