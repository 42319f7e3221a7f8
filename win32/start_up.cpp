// Start-up: skip the program name, find out whether this is the Windows 95 family, read the
// one mode letter and run that mode; its result is the process's exit code.
#include "start_up.h"

#include "configure_dialog.h"
#include "dismissal.h"
#include "failure_guard.h"
#include "host_state.h"
#include "saver_window.h"

namespace {

// The result of a command line that names no mode, or a mode that cannot run.
constexpr int NO_MODE = -1;

HWND handle_from(UINT value) { return reinterpret_cast<HWND>(static_cast<UINT_PTR>(value)); }

// Handles come from the command line: anything that is not a live window counts as none.
bool is_window_handle(HWND window) { return window != nullptr && IsWindow(window); }

const char* skip_spaces(const char* text) {
    while (*text == ' ') ++text;
    return text;
}

// Runs one mode; the Windows 95 family alone has a password change.
int run_mode(const char* tail) {
    const ModeRequest request = parse_mode_request(tail);
    switch (request.kind) {
    case MODE_SAVER: return run_saver_window(nullptr);
    case MODE_PREVIEW: return run_preview(request.handle);
    case MODE_CONFIGURE: return static_cast<int>(show_configure_dialog(nullptr));
    case MODE_CONFIGURE_OWNED: {
        HWND owner = handle_from(request.handle);
        if (!is_window_handle(owner)) owner = GetForegroundWindow();
        return static_cast<int>(show_configure_dialog(owner));
    }
    case MODE_PASSWORD:
        if (!host.win9x) return NO_MODE;
        return run_password_change(request.handle);
    case MODE_NONE: break;
    }
    return NO_MODE;
}

}  // namespace

const char* skip_program_name(const char* line) {
    const char* cursor = line;
    if (*cursor == '"') {
        // Quoted: everything up to the closing quote, which is skipped too; a name that is
        // never closed takes the whole line.
        do {
            cursor = CharNextA(cursor);
        } while (*cursor != '\0' && *cursor != '"');
        if (*cursor == '"') cursor = CharNextA(cursor);
    } else {
        while (static_cast<unsigned char>(*cursor) > 0x20) cursor = CharNextA(cursor);
    }
    while (*cursor != '\0' && static_cast<unsigned char>(*cursor) <= 0x20) cursor = CharNextA(cursor);
    return cursor;
}

[[noreturn]] void start_host() {
    const char* tail = skip_program_name(GetCommandLineA());
    // ExitProcess and not a return from WinMain: the runtime's exit processing does not run.
    ExitProcess(static_cast<UINT>(dispatch_mode(GetModuleHandleA(nullptr), tail)));
}

int dispatch_mode(HINSTANCE instance, const char* tail) {
    host.instance = instance;
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    static_assert(sizeof version == 148, "the version record of the ANSI call");
    host.win9x = GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
    return run_guarded(run_mode, tail);
}

UINT parse_decimal(const char* text) {
    UINT value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) value = value * 10 + static_cast<UINT>(*text - '0');
    return value;
}

// The scan of the mode letter. Bytes are signed here: every byte from 0x80 up is negative and
// falls to the default, like any other unknown byte.
ModeRequest parse_mode_request(const char* tail) {
    for (const char* cursor = tail;; ++cursor) {
        switch (*cursor) {
        case ' ':
        case '-':
        case '/': break;
        case '\0': return {MODE_CONFIGURE, 0};
        case 's':
        case 'S': return {MODE_SAVER, 0};
        case 'p':
        case 'P':
        case 'l':
        case 'L': return {MODE_PREVIEW, parse_decimal(skip_spaces(cursor + 1))};
        case 'c':
        case 'C': return {MODE_CONFIGURE_OWNED, cursor[1] == ':' ? parse_decimal(cursor + 2) : 0};
        case 'a':
        case 'A': return {MODE_PASSWORD, parse_decimal(skip_spaces(cursor + 1))};
        default: return {MODE_NONE, 0};
        }
    }
}

int run_preview(UINT handle) {
    HWND parent = handle_from(handle);
    if (!is_window_handle(parent)) return NO_MODE;
    return run_saver_window(parent);
}

int run_password_change(UINT handle) {
    HWND owner = handle_from(handle);
    if (!is_window_handle(owner)) owner = GetForegroundWindow();
    change_password(owner);
    return 0;
}
