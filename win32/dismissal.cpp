// The host's default behaviour for the saver window: which user actions and system events end
// the saver, whether a close may destroy the window (the password of the Windows 95 family),
// the AutoPlay answer, and the password components loaded by name at run time.
#include "dismissal.h"

#include "host_state.h"
#include "proc_address.h"

namespace {

constexpr DWORD REPEAT_LIMIT_MS = 200;  // from the end of one verification to the next
constexpr UINT DROP_TIMER_FLAGS = PM_REMOVE | PM_NOYIELD;
constexpr WPARAM POWER_CRITICAL_RESUME = PWR_CRITICALRESUME;

const char DESKTOP_KEY[] = "Control Panel\\Desktop";
const char USE_PASSWORD_VALUE[] = "ScreenSaveUsePassword";
const char VERIFIER_LIBRARY[] = "PASSWORD.CPL";
const char VERIFIER_FUNCTION[] = "VerifyScreenSavePwd";
const char CHANGE_LIBRARY[] = "MPR.DLL";
const char CHANGE_FUNCTION[] = "PwdChangePasswordA";
const char PASSWORD_PROVIDER[] = "SCRSAVE";

typedef DWORD(WINAPI* PwdChangePasswordFn)(LPCSTR provider, HWND owner, DWORD, DWORD);

// Open only for the one WM_APP that verify_before_close sends. The verifier answers that request
// alone: a WM_APP from another process, or one dispatched by the verifier's own dialog loop,
// can neither open a dialog outside a verification nor nest a second one inside it.
int verify_request_open;

void post_close(HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); }

// |a - b| in unsigned 32-bit arithmetic, so that no coordinate pair can overflow.
DWORD distance(LONG a, LONG b) {
    DWORD difference = static_cast<DWORD>(a) - static_cast<DWORD>(b);
    return static_cast<LONG>(difference) < 0 ? 0u - difference : difference;
}

// Small movements add up: the reference moves only when the mouse has gone past the threshold.
// A position that cannot be read (the desktop is not the input desktop) counts as no movement.
void check_mouse_movement(HWND window) {
    POINT now;
    if (!GetCursorPos(&now)) return;
    DWORD moved = distance(now.x, host.cursor_reference.x) + distance(now.y, host.cursor_reference.y);
    if (moved > host.move_threshold) {
        post_close(window);
        host.cursor_reference = now;
    }
}

// The rules proper; true when the message is answered here with *answer.
bool apply_dismissal_rule(HWND window, UINT message, WPARAM wparam, LRESULT* answer) {
    switch (message) {
    case WM_SHOWWINDOW:
        if (wparam) SetCursor(nullptr);
        return false;
    case WM_ACTIVATEAPP:
        if (!wparam) post_close(window);  // another application is being activated
        return false;
    case WM_SETCURSOR:
        SetCursor(nullptr);
        *answer = 1;
        return true;
    case WM_POWER:
        if (wparam == POWER_CRITICAL_RESUME) post_close(window);
        return false;
    case WM_POWERBROADCAST:
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        post_close(window);
        return false;
    case WM_MOUSEMOVE:
        check_mouse_movement(window);
        return false;
    default:
        return false;
    }
}

// A stored end tick never equals the mark for "no verification yet", or the repeat limit would
// be skipped after a dialog that happened to close on the counter's last millisecond.
DWORD verification_end_tick(DWORD tick) { return tick == NO_VERIFICATION_YET ? tick - 1 : tick; }

}  // namespace

DWORD ticks_between(DWORD earlier, DWORD later) { return later - earlier; }

LRESULT dismissal_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (!host.preview && !host.closing) {
        if (message == WM_CLOSE) {
            if (host.win9x && !verify_before_close(window)) {
                // Refused: the mouse must move past the threshold again from where it now is
                // (the old reference stays when the position cannot be read).
                POINT now;
                if (GetCursorPos(&now)) host.cursor_reference = now;
                return 0;
            }
        } else if (message == WM_APP && host.win9x) {
            if (verify_request_open) {
                verify_request_open = 0;
                return host.verify_fn ? host.verify_fn(window) : 1;
            }
        } else if (!host.verifying) {
            LRESULT answer;
            if (apply_dismissal_rule(window, message, wparam, &answer)) return answer;
        }
    }
    if (message != 0 && message == host.autoplay_message) {
        // Closes in every mode and state; non-zero cancels AutoPlay while a password guards us.
        post_close(window);
        return host.verify_fn ? 1 : 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

BOOL verify_before_close(HWND window) {
    if (host.verifying) return FALSE;  // a close during the dialog: no second dialog
    if (!host.verify_fn) {
        host.closing = TRUE;
        return TRUE;
    }
    DWORD now = GetTickCount();
    if (host.last_verify_tick != NO_VERIFICATION_YET &&
        ticks_between(host.last_verify_tick, now) < REPEAT_LIMIT_MS) {
        return host.closing;
    }
    host.verifying = 1;
    MSG dropped;
    PeekMessageA(&dropped, window, WM_TIMER, WM_TIMER, DROP_TIMER_FLAGS);
    PeekMessageA(&dropped, window, WM_TIMER, WM_TIMER, DROP_TIMER_FLAGS);
    // The request runs through the whole window procedure chain into dismissal_proc.
    verify_request_open = 1;
    BOOL granted = static_cast<BOOL>(SendMessageA(window, WM_APP, 0, 0));
    verify_request_open = 0;
    host.closing = granted;
    host.verifying = 0;
    if (!host.closing) SetCursor(nullptr);  // the dialog showed it
    host.last_verify_tick = verification_end_tick(GetTickCount());
    return host.closing;
}

void load_password_verifier() {
    if (!host.win9x) return;
    if (host.verifier_module) release_password_verifier();
    HKEY key;
    if (RegOpenKeyA(HKEY_CURRENT_USER, DESKTOP_KEY, &key) != ERROR_SUCCESS) return;
    // A value shorter than 4 bytes fills the buffer from its start and leaves the rest zero, so
    // any non-zero byte of it switches protection on.
    BYTE value[4] = {0, 0, 0, 0};
    DWORD size = sizeof value;
    LONG status = RegQueryValueExA(key, USE_PASSWORD_VALUE, nullptr, nullptr, value, &size);
    bool switched_on = (value[0] | value[1] | value[2] | value[3]) != 0;
    if (status == ERROR_SUCCESS && switched_on) {
        host.verifier_module = LoadLibraryA(VERIFIER_LIBRARY);
        if (host.verifier_module) {
            host.verify_fn = find_proc<VerifyScreenSavePwdFn>(host.verifier_module, VERIFIER_FUNCTION);
            if (host.verify_fn) {
                set_saver_running(TRUE);
            } else {
                release_password_verifier();
            }
        }
    }
    RegCloseKey(key);
}

void release_password_verifier() {
    if (!host.win9x || !host.verifier_module) return;
    FreeLibrary(host.verifier_module);
    host.verifier_module = nullptr;
    if (host.verify_fn) {
        host.verify_fn = nullptr;
        set_saver_running(FALSE);
    }
}

void set_saver_running(BOOL running) {
    if (!host.win9x) return;
    UINT previous = 0;  // required by the call, not used
    SystemParametersInfoA(SPI_SCREENSAVERRUNNING, running, &previous, 0);
}

void change_password(HWND owner) {
    HMODULE library = LoadLibraryA(CHANGE_LIBRARY);
    if (!library) return;
    PwdChangePasswordFn change = find_proc<PwdChangePasswordFn>(library, CHANGE_FUNCTION);
    if (change) change(PASSWORD_PROVIDER, owner, 0, 0);
    FreeLibrary(library);
}
