// Plays the display settings' part for a preview: makes a parent window whose client area is
// 152 x 112, starts the saver given on the command line as that window's child ("{parent}" in
// the arguments becomes the parent's decimal handle), and prints what it finds, one line per
// check, for the script.
//
//   host_preview inputs  PROGRAM ARGS...   the child's class, title and place; input, activation,
//                                          power and system-command messages that must not close
//                                          it; WM_HELP and WM_CONTEXTMENU forwarded to the parent;
//                                          then the AutoPlay query, which closes it; the exit code
//   host_preview destroy PROGRAM ARGS...   destroys the parent under the running child; the
//                                          exit code
//   host_preview beside  PROGRAM ARGS...   the same while "PROGRAM /s" runs full screen (started
//                                          first, closed last)
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int CLIENT_WIDTH = 152;
constexpr int CLIENT_HEIGHT = 112;

struct Forwarded {
    int count;
    WPARAM wparam;
    LPARAM lparam;
};
Forwarded help_seen;
Forwarded context_menu_seen;
POINT help_place = {-1, -1};  // the HELPINFO's mouse position, read while the message is handled

LRESULT CALLBACK parent_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_HELP) {
        help_seen = {help_seen.count + 1, wparam, lparam};
        const HELPINFO* help = reinterpret_cast<const HELPINFO*>(lparam);
        if (help && help->cbSize == sizeof(HELPINFO)) help_place = help->MousePos;
    }
    if (message == WM_CONTEXTMENU) context_menu_seen = {context_menu_seen.count + 1, wparam, lparam};
    if (message == WM_HELP || message == WM_CONTEXTMENU) return 1;
    return DefWindowProcA(window, message, wparam, lparam);
}

HWND make_parent() {
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = parent_proc;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    window_class.lpszClassName = "SandglassPreviewParent";
    RegisterClassA(&window_class);
    RECT frame = {0, 0, CLIENT_WIDTH, CLIENT_HEIGHT};
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    AdjustWindowRect(&frame, style, FALSE);
    return CreateWindowExA(0, "SandglassPreviewParent", "Preview parent", style, 40, 40,
                           frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

void pump_for(DWORD ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// The child once it is shown: it exists already while its creation is still under way.
HWND wait_for_child(HWND parent, DWORD ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        HWND child = FindWindowExA(parent, nullptr, "WindowsScreenSaverClass", nullptr);
        if (child && IsWindowVisible(child)) return child;
        pump_for(50);
    }
    return nullptr;
}

// Waits for the process while serving the parent's messages; "timeout" when it goes on running.
void report_exit(HANDLE process, DWORD ms, const char* label = "exit") {
    DWORD start = GetTickCount();
    while (WaitForSingleObject(process, 0) == WAIT_TIMEOUT && GetTickCount() - start < ms) pump_for(50);
    DWORD code = 0;
    if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
        std::printf("%s timeout\n", label);
        TerminateProcess(process, 99);
    } else {
        GetExitCodeProcess(process, &code);
        std::printf("%s %ld\n", label, static_cast<long>(code));
    }
}

HWND full_screen_window() { return FindWindowA("WindowsScreenSaverClass", "Screen Saver"); }

// Starts a process with exactly this command line; its process handle, or null.
HANDLE launch(std::string line) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return nullptr;
    }
    CloseHandle(process.hThread);
    return process.hProcess;
}

// Starts "PROGRAM /s" and waits for its full-screen window; null when it does not appear.
HANDLE start_full_screen(const char* program) {
    std::string line = std::string("\"") + program + "\" /s";
    HANDLE process = launch(line);
    if (process == nullptr) return nullptr;
    DWORD start = GetTickCount();
    while (!full_screen_window() && GetTickCount() - start < 20000) pump_for(50);
    if (full_screen_window()) return process;
    TerminateProcess(process, 99);
    CloseHandle(process);
    return nullptr;
}

HANDLE start_saver(int argc, char** argv, HWND parent) {
    std::string line;
    char handle[16];
    std::snprintf(handle, sizeof handle, "%lu", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(parent)));
    for (int i = 2; i < argc; ++i) {
        std::string argument = argv[i];
        size_t at = argument.find("{parent}");
        if (at != std::string::npos) argument.replace(at, 8, handle);
        if (!line.empty()) line += ' ';
        line += argument;
    }
    return launch(line);
}

void check_inputs(HWND parent, HWND child, HANDLE process) {
    char class_name[64] = "", title[64] = "";
    GetClassNameA(child, class_name, sizeof class_name);
    GetWindowTextA(child, title, sizeof title);
    std::printf("class %s\ntitle %s\n", class_name, title);
    RECT place;
    GetWindowRect(child, &place);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
    std::printf("place %ld %ld %ld %ld\n", place.left, place.top, place.right - place.left,
                place.bottom - place.top);
    std::printf("style %08lx\n", static_cast<unsigned long>(GetWindowLongA(child, GWL_STYLE)));

    // What closes a full-screen saver leaves a preview alone.
    RECT screen;
    GetWindowRect(GetDesktopWindow(), &screen);
    SetCursorPos(screen.right - 10, screen.bottom - 10);
    const UINT inputs[][2] = {
        {WM_KEYDOWN, 'A'},         {WM_SYSKEYDOWN, VK_MENU},  {WM_LBUTTONDOWN, MK_LBUTTON},
        {WM_RBUTTONDOWN, MK_RBUTTON}, {WM_MBUTTONDOWN, MK_MBUTTON}, {WM_MOUSEMOVE, 0},
        {WM_ACTIVATEAPP, 0},       {WM_POWER, PWR_CRITICALRESUME}, {WM_POWERBROADCAST, 0},
    };
    for (const auto& input : inputs) SendMessageA(child, input[0], input[1], 0);
    // The system commands that a full-screen saver refuses are passed on in a preview.
    const WPARAM commands[] = {SC_NEXTWINDOW, SC_PREVWINDOW, SC_SCREENSAVE};
    for (WPARAM command : commands) SendMessageA(child, WM_SYSCOMMAND, command, 0);
    pump_for(1000);
    std::printf("alive-after-input %d %d\n", IsWindow(child) ? 1 : 0,
                WaitForSingleObject(process, 0) == WAIT_TIMEOUT ? 1 : 0);

    HELPINFO help = {};
    help.cbSize = sizeof help;
    help.iContextType = HELPINFO_WINDOW;
    help.hItemHandle = child;
    help.MousePos = {7, 9};
    LRESULT help_result = SendMessageA(child, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
    const LPARAM menu_place = MAKELPARAM(5, 6);
    LRESULT menu_result = SendMessageA(child, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(child), menu_place);
    pump_for(500);
    const WPARAM parent_handle = reinterpret_cast<WPARAM>(parent);
    std::printf("help-result %ld\n", static_cast<long>(help_result));
    std::printf("help-at-parent %d wparam-is-parent %d\n", help_seen.count,
                help_seen.count > 0 && help_seen.wparam == parent_handle);
    std::printf("help-place %ld %ld\n", help_place.x, help_place.y);
    std::printf("menu-result %ld\n", static_cast<long>(menu_result));
    std::printf("menu-at-parent %d wparam-is-parent %d lparam-kept %d\n", context_menu_seen.count,
                context_menu_seen.count > 0 && context_menu_seen.wparam == parent_handle,
                context_menu_seen.count > 0 && context_menu_seen.lparam == menu_place);

    UINT autoplay = RegisterWindowMessageA("QueryCancelAutoPlay");
    std::printf("autoplay-result %ld\n", static_cast<long>(SendMessageA(child, autoplay, 0, 0)));
    report_exit(process, 10000);
    std::printf("child-gone %d\n", IsWindow(child) ? 0 : 1);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    HWND parent = make_parent();
    pump_for(200);
    HANDLE full_screen = nullptr;
    if (std::strcmp(argv[1], "beside") == 0) {
        full_screen = start_full_screen(argv[2]);
        std::printf("full-screen %d\n", full_screen ? 1 : 0);
    }
    HANDLE process = start_saver(argc, argv, parent);
    if (!process) {
        std::printf("saver not started\n");
        return 1;
    }
    HWND child = wait_for_child(parent, 20000);
    std::printf("child %d\n", child ? 1 : 0);
    if (child && std::strcmp(argv[1], "inputs") == 0) {
        check_inputs(parent, child, process);
    } else if (child && (std::strcmp(argv[1], "destroy") == 0 || full_screen)) {
        pump_for(500);
        if (full_screen) {
            std::printf("full-screen-alive %d\n",
                        full_screen_window() && WaitForSingleObject(full_screen, 0) == WAIT_TIMEOUT);
        }
        DestroyWindow(parent);
        report_exit(process, 10000);
    } else {
        TerminateProcess(process, 99);
    }
    if (full_screen) {
        PostMessageA(full_screen_window(), WM_CLOSE, 0, 0);
        report_exit(full_screen, 10000, "full-screen-exit");
    }
    std::fflush(stdout);
    return 0;
}
