// Stand-in for the Windows 95 family's PASSWORD.CPL, a test fixture: VerifyScreenSavePwd shows
// a real modal dialog owned by the window it is given (so the saver's messages are dispatched
// while it is open, as with the real one), answers what the test script asks for, and logs how
// it was called.
//
// Environment:
//   SANDGLASS_STANDIN_LOG     the log file (see standin_log.h)
//   SANDGLASS_VERIFY_ANSWERS  answers of the successive calls, comma-separated ("0,1"); a call
//                             past the end of the list answers 1
//   SANDGLASS_VERIFY_MS       how long the dialog stays open (default 300 ms)
//   SANDGLASS_VERIFY_MOVE     N: the cursor moves N pixels right shortly before the dialog
//                             closes (as a user's hand might while typing the password)
//   SANDGLASS_VERIFY_PROVOKE  1: while the dialog is open, post WM_CLOSE and WM_KEYDOWN to the
//                             window and send it WM_APP; after it has closed, post a WM_KEYDOWN
//                             (a second close request at once)
//
// Log lines:
//   attach password / detach password         the library was loaded / freed
//   verify window=H saver=S class=C title=T running=R depth=D ime=I
//                                             a call; saver=1 when H is the full-screen saver
//                                             window, R the system's screen-saver-running state,
//                                             D the number of calls under way, this one included,
//                                             I "none" when H has no input context
//   provoked app=N                            what the window answered to WM_APP in the dialog
//   answer N                                  the call's result
//   after cursor=hidden|shown                 the cursor once the saver has handled the answer
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "standin_log.h"

namespace {

HINSTANCE module;
int calls;
int depth;
HHOOK message_hook;
UINT probe_message;

typedef HIMC(WINAPI* ImmGetContextFn)(HWND);
typedef BOOL(WINAPI* ImmReleaseContextFn)(HWND, HIMC);

// "none" when the window has no input context (IMM32.DLL is loaded into every process by Wine's
// user32; "unknown" if it is not).
const char* input_context(HWND window) {
    HMODULE imm = GetModuleHandleA("IMM32.DLL");
    if (!imm) return "unknown";
    auto get = reinterpret_cast<ImmGetContextFn>(reinterpret_cast<void (*)()>(GetProcAddress(imm, "ImmGetContext")));
    auto release = reinterpret_cast<ImmReleaseContextFn>(reinterpret_cast<void (*)()>(GetProcAddress(imm, "ImmReleaseContext")));
    if (!get || !release) return "unknown";
    HIMC context = get(window);
    if (!context) return "none";
    release(window, context);
    return "set";
}

// The answer of the call numbered index (from 0).
BOOL scripted_answer(int index) {
    char list[256];
    DWORD length = GetEnvironmentVariableA("SANDGLASS_VERIFY_ANSWERS", list, sizeof list);
    if (length == 0 || length >= sizeof list) return TRUE;
    char* item = list;
    for (int i = 0; i < index; ++i) {
        item = std::strchr(item, ',');
        if (!item) return TRUE;
        ++item;
    }
    return std::strtol(item, nullptr, 10) != 0;
}

// The probe is posted just before the answer is returned, so it is taken from the queue only
// after the saver has finished handling that answer: the cursor seen then is the saver's doing.
LRESULT CALLBACK watch_messages(int code, WPARAM wparam, LPARAM lparam) {
    const MSG* message = reinterpret_cast<const MSG*>(lparam);
    if (code == HC_ACTION && wparam == PM_REMOVE && message->message == probe_message) {
        standin_log("after cursor=%s", GetCursor() ? "shown" : "hidden");
    }
    return CallNextHookEx(message_hook, code, wparam, lparam);
}

INT_PTR CALLBACK dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    HWND owner = GetWindow(dialog, GW_OWNER);
    switch (message) {
    case WM_INITDIALOG:
        // A password dialog shows the cursor; the saver has to hide it again.
        SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));  // IDC_ARROW
        SetTimer(dialog, 1, static_cast<UINT>(standin_setting("SANDGLASS_VERIFY_MS", 300)), nullptr);
        if (standin_setting("SANDGLASS_VERIFY_PROVOKE", 0)) {
            PostMessageA(owner, WM_CLOSE, 0, 0);
            PostMessageA(owner, WM_KEYDOWN, 'A', 0);
            standin_log("provoked app=%ld", static_cast<long>(SendMessageA(owner, WM_APP, 0, 0)));
        }
        return TRUE;
    case WM_TIMER: {
        KillTimer(dialog, wparam);
        long move = standin_setting("SANDGLASS_VERIFY_MOVE", 0);
        if (wparam == 1 && move) {
            // The movement is left some time to arrive while the dialog is still open.
            POINT cursor;
            GetCursorPos(&cursor);
            SetCursorPos(cursor.x + move, cursor.y);
            SetTimer(dialog, 2, 150, nullptr);
        } else {
            EndDialog(dialog, 0);
        }
        return TRUE;
    }
    default:
        return FALSE;
    }
}

// An empty captioned popup: a dialog template of no controls, built in memory.
INT_PTR run_dialog(HWND owner) {
    alignas(4) WORD words[32] = {};
    const DWORD style = WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME;
    words[0] = LOWORD(style);
    words[1] = HIWORD(style);
    words[5] = 20;   // x
    words[6] = 20;   // y
    words[7] = 120;  // width
    words[8] = 40;   // height
    const char title[] = "Password";
    for (size_t i = 0; i < sizeof title; ++i) words[11 + i] = static_cast<WORD>(title[i]);
    return DialogBoxIndirectParamA(module, reinterpret_cast<LPCDLGTEMPLATEA>(words), owner,
                                   dialog_proc, 0);
}

}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND window) {
    ++depth;
    char class_name[64] = "";
    char title[64] = "";
    GetClassNameA(window, class_name, sizeof class_name);
    GetWindowTextA(window, title, sizeof title);
    BOOL running = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
    HWND saver = FindWindowA("WindowsScreenSaverClass", "Screen Saver");
    standin_log("verify window=%p saver=%d class=%s title=%s running=%d depth=%d ime=%s", window,
                window != nullptr && window == saver, class_name, title, running, depth,
                input_context(window));
    BOOL answer = scripted_answer(calls++);
    run_dialog(window);
    if (!message_hook) {
        probe_message = RegisterWindowMessageA("SandglassStandinProbe");
        message_hook = SetWindowsHookExA(WH_GETMESSAGE, watch_messages, nullptr, GetCurrentThreadId());
    }
    if (!answer) SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));  // left shown
    if (standin_setting("SANDGLASS_VERIFY_PROVOKE", 0)) PostMessageA(window, WM_KEYDOWN, 'B', 0);
    PostMessageA(window, probe_message, 0, 0);
    standin_log("answer %d", answer);
    --depth;
    return answer;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        module = instance;
        standin_log("attach password");
    } else if (reason == DLL_PROCESS_DETACH) {
        if (message_hook) UnhookWindowsHookEx(message_hook);
        standin_log("detach password");
    }
    return TRUE;
}
