// The saver window: the class, the full-screen popup or the preview child, the message loop,
// and host_window_proc, which answers a few messages itself and passes the rest to the saver
// procedure (which ends every message in dismissal_proc).
#include "saver_window.h"

#include "saver_procedure.h"
#include "dismissal.h"
#include "host_state.h"
#include "proc_address.h"

namespace {

const char SAVER_CLASS[] = "WindowsScreenSaverClass";
const char FULL_SCREEN_TITLE[] = "Screen Saver";
const char PREVIEW_TITLE[] = "Preview";
const char AUTOPLAY_QUERY[] = "QueryCancelAutoPlay";
const char INPUT_METHOD_LIBRARY[] = "IMM32.DLL";
const char ASSOCIATE_CONTEXT[] = "ImmAssociateContext";

constexpr UINT CLASS_STYLE = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
constexpr DWORD FULL_SCREEN_STYLE = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr DWORD PREVIEW_STYLE = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
static_assert(CLASS_STYLE == 0x2B, "class style");
static_assert(FULL_SCREEN_STYLE == 0x96000000, "full-screen style");
static_assert(PREVIEW_STYLE == 0x52000000, "preview style");

// The resources hold no icon 100, so the class gets no icon; the look-up is kept all the same.
constexpr WORD CLASS_ICON = 100;

// No class or no window: no message was ever taken, so the run reports a failure of its own.
constexpr int NO_SAVER_WINDOW = -1;

// Takes the input method away from the saver window, keeping the context to give back later.
// Only a module that is already loaded is used: nothing is loaded for this.
void clear_input_context(HWND window) {
    host.imm_module = GetModuleHandleA(INPUT_METHOD_LIBRARY);
    if (!host.imm_module) return;
    host.associate_context_fn = find_proc<ImmAssociateContextFn>(host.imm_module, ASSOCIATE_CONTEXT);
    if (host.associate_context_fn) host.saved_ime_context = host.associate_context_fn(window, nullptr);
}

void restore_input_context(HWND window) {
    if (host.imm_module && host.associate_context_fn && host.saved_ime_context) {
        host.associate_context_fn(window, host.saved_ime_context);
    }
}

// The task-switch keys and the system's own request to start a saver are refused full screen.
// The command is compared whole, its low four bits included.
bool refused_command(WPARAM command) {
    return command == SC_NEXTWINDOW || command == SC_PREVWINDOW || command == SC_SCREENSAVE;
}

// How long a help request may keep the preview waiting for the window that owns it.
constexpr UINT HELP_WAIT_MS = 1000;

// Help in the preview belongs to the display settings that own it, not to the saver. The
// parent usually lives in another process. WM_HELP carries a pointer to the sender's HELPINFO:
// the system refuses to queue such a message, and the record would be gone before it was read,
// so it is sent, which carries the record across; a parent that hangs is given up on.
void forward_to_parent(HWND window, UINT message, LPARAM lparam) {
    HWND parent = GetParent(window);
    if (!parent || !IsWindow(parent)) return;
    WPARAM parent_handle = reinterpret_cast<WPARAM>(parent);
    if (message == WM_HELP) {
        DWORD_PTR ignored;
        SendMessageTimeoutA(parent, message, parent_handle, lparam, SMTO_ABORTIFHUNG, HELP_WAIT_MS,
                            &ignored);
    } else {
        PostMessageA(parent, message, parent_handle, lparam);
    }
}

}  // namespace

int run_saver_window(HWND parent) {
    WNDCLASSA window_class = {};
    window_class.style = CLASS_STYLE;
    window_class.lpfnWndProc = host_window_proc;
    window_class.hInstance = host.instance;
    window_class.hIcon = LoadIconA(host.instance, MAKEINTRESOURCEA(CLASS_ICON));
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    window_class.lpszClassName = SAVER_CLASS;

    RECT area = {0, 0, 0, 0};
    if (parent) {
        GetClientRect(parent, &area);
        host.preview = 1;
    } else {
        HDC screen = GetDC(nullptr);
        GetClipBox(screen, &area);
        ReleaseDC(nullptr, screen);
        HWND running = FindWindowA(SAVER_CLASS, FULL_SCREEN_TITLE);
        if (running && IsWindow(running)) {
            SetForegroundWindow(running);
            return 0;
        }
        load_password_verifier();
    }
    host.autoplay_message = host.win9x ? RegisterWindowMessageA(AUTOPLAY_QUERY) : 0;

    if (RegisterClassA(&window_class)) {
        if (host.preview) {
            host.saver_window = CreateWindowExA(0, SAVER_CLASS, PREVIEW_TITLE, PREVIEW_STYLE, 0, 0,
                                                area.right, area.bottom, parent, nullptr,
                                                host.instance, nullptr);
        } else {
            host.saver_window = CreateWindowExA(WS_EX_TOPMOST, SAVER_CLASS, FULL_SCREEN_TITLE,
                                                FULL_SCREEN_STYLE, area.left, area.top,
                                                area.right - area.left, area.bottom - area.top,
                                                nullptr, nullptr, host.instance, nullptr);
        }
    }

    int exit_code = NO_SAVER_WINDOW;
    if (host.saver_window) {
        if (!host.preview) SetForegroundWindow(host.saver_window);
        MSG message = {};
        // GetMessageA's -1 is an error, not a message: the loop must not spin on it.
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        exit_code = static_cast<int>(message.wParam);
    }
    release_password_verifier();
    return exit_code;
}

LRESULT CALLBACK host_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE:
        clear_input_context(window);
        GetCursorPos(&host.cursor_reference);
        if (!host.preview) SetCursor(nullptr);
        break;
    case WM_DESTROY:
        restore_input_context(window);
        PostQuitMessage(0);
        break;
    case WM_SETTEXT:
        return 0;  // the title is how a running saver is found: it never changes
    case WM_PAINT:
        if (host.closing) return DefWindowProcA(window, message, wparam, lparam);
        if (!host.preview) SetCursor(nullptr);
        break;
    case WM_HELP:
    case WM_CONTEXTMENU:
        if (host.preview) {
            forward_to_parent(window, message, lparam);
            return 1;
        }
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        // Once closing is granted the saver sees no more input.
        if (host.closing) return DefWindowProcA(window, message, wparam, lparam);
        break;
    case WM_SYSCOMMAND:
        if (!host.preview && refused_command(wparam)) return 0;
        break;
    case WM_TIMER:
        if (host.closing) return 0;
        Sleep(0);
        break;
    default:
        break;
    }
    return saver_procedure(window, message, wparam, lparam);
}
