// Starts a program with an exact command line and reports what it did, for the start-up tests.
// The wine loader passes on only the low 8 bits of an exit code; this launcher prints all 32.
//
// Environment:
//   LAUNCH_LINE     the child's whole command line, byte for byte (program name included).
//                   "%H" stands for the decimal handle of the launcher's own window, "%W" for
//                   that handle plus 7 * 2^32 (more digits than fit in 32 bits), "%N" for a
//                   decimal number that is no window; "\xHH" for the byte HH (hexadecimal).
//   LAUNCH_PROGRAM  the program to start (default: sandglass.scr beside the launcher).
//   LAUNCH_WINDOW   "1": make a 152 x 112 window first (a preview parent or dialog owner) and
//                   make it the foreground window; "2": the same, then a second window that
//                   is made the foreground window instead.
//   LAUNCH_CLOSE_MS destroy that window this many ms after the child showed a window.
//   LAUNCH_WAIT_MS  give up after this many ms (default 20000): the child is killed.
//
// Output, one line each: "window=<handle> class=<class> title=<hex bytes of GetWindowTextA>
// unicode=<hex of GetWindowTextW> owner=<self|foreground|none|handle> rect=l,t,r,b
// client=l,t,r,b close=x,y focus=<control id>" for every visible top-level window of the child when it first
// appears, followed for a dialog by "control id=<id> class=<class> text=<hex of the Unicode
// text> rect=l,t,r,b client=l,t,r,b checked=<0|1>" for each of its controls (screen coordinates;
// checked is a check box's state, 0 for other controls);
// "parent=<handle>" and "front=<handle>" for the windows the launcher made; "exit=0x%08X" or
// "exit=timeout" at the end.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

HWND own_window;
HWND foreground_at_start;
DWORD child_id;
std::vector<HWND> seen;

std::string hex_bytes(const std::string& text) {
    std::string out;
    char pair[3];
    for (unsigned char c : text) {
        std::snprintf(pair, sizeof pair, "%02x", c);
        out += pair;
    }
    return out.empty() ? "-" : out;
}

std::string hex_units(const std::wstring& text) {
    std::string out;
    char quad[5];
    for (wchar_t c : text) {
        std::snprintf(quad, sizeof quad, "%04x", static_cast<unsigned>(c));
        out += quad;
    }
    return out.empty() ? "-" : out;
}

std::string env(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value ? value : fallback;
}

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

BOOL CALLBACK describe_control(HWND control, LPARAM) {
    char class_name[256] = "";
    GetClassNameA(control, class_name, sizeof class_name);
    wchar_t text[512] = L"";
    int length = GetWindowTextW(control, text, 512);
    RECT rect;
    GetWindowRect(control, &rect);
    RECT client;
    GetClientRect(control, &client);
    MapWindowPoints(control, nullptr, reinterpret_cast<POINT*>(&client), 2);
    // A check box's state (0 for every other control).
    const LRESULT checked = SendMessageW(control, BM_GETCHECK, 0, 0);
    std::printf("control id=%d class=%s text=%s rect=%ld,%ld,%ld,%ld client=%ld,%ld,%ld,%ld "
                "checked=%ld\n",
                GetDlgCtrlID(control), class_name, hex_units(std::wstring(text, length)).c_str(),
                rect.left, rect.top, rect.right, rect.bottom, client.left, client.top, client.right,
                client.bottom, static_cast<long>(checked));
    return TRUE;
}

void describe(HWND window) {
    char class_name[256] = "";
    GetClassNameA(window, class_name, sizeof class_name);
    char title[512] = "";
    int length = GetWindowTextA(window, title, sizeof title);
    wchar_t wide[512] = L"";
    int wide_length = GetWindowTextW(window, wide, 512);
    HWND owner = GetWindow(window, GW_OWNER);
    const char* owner_name = "none";
    char owner_text[32];
    if (owner && owner == own_window) {
        owner_name = "self";
    } else if (owner && owner == foreground_at_start) {
        owner_name = "foreground";
    } else if (owner) {
        std::snprintf(owner_text, sizeof owner_text, "%lu",
                      static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(owner)));
        owner_name = owner_text;
    }
    RECT rect;
    GetWindowRect(window, &rect);
    // Centre of the close box: right end of the caption, inside the frame.
    int close_x = rect.right - GetSystemMetrics(SM_CXFIXEDFRAME) - GetSystemMetrics(SM_CXSIZE) / 2 - 2;
    int close_y = rect.top + GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
    GUITHREADINFO thread_info = {};
    thread_info.cbSize = sizeof thread_info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread_info);
    int focus = thread_info.hwndFocus ? GetDlgCtrlID(thread_info.hwndFocus) : 0;
    RECT client;
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    std::printf("window=%lu class=%s title=%s unicode=%s owner=%s rect=%ld,%ld,%ld,%ld "
                "client=%ld,%ld,%ld,%ld close=%d,%d focus=%d\n",
                static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)), class_name,
                hex_bytes(std::string(title, length)).c_str(),
                hex_units(std::wstring(wide, wide_length)).c_str(), owner_name, rect.left, rect.top,
                rect.right, rect.bottom, client.left, client.top, client.right, client.bottom, close_x,
                close_y, focus);
    if (std::strcmp(class_name, "#32770") == 0) EnumChildWindows(window, describe_control, 0);
    std::fflush(stdout);
}

BOOL CALLBACK note_window(HWND window, LPARAM) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != child_id || !IsWindowVisible(window)) return TRUE;
    for (HWND known : seen)
        if (known == window) return TRUE;
    seen.push_back(window);
    describe(window);
    return TRUE;
}

LRESULT CALLBACK own_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcA(window, message, wparam, lparam);
}

HWND make_window(const char* title, int left) {
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = own_window_proc;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    window_class.lpszClassName = "StartupLaunchParent";
    RegisterClassA(&window_class);
    RECT rect = {0, 0, 152, 112};
    AdjustWindowRect(&rect, WS_POPUP | WS_BORDER, FALSE);
    HWND window = CreateWindowExA(0, "StartupLaunchParent", title, WS_POPUP | WS_BORDER | WS_VISIBLE,
                                  left, 40, rect.right - rect.left, rect.bottom - rect.top, nullptr,
                                  nullptr, window_class.hInstance, nullptr);
    SetForegroundWindow(window);
    return window;
}

UINT free_number() {
    UINT number = 1234;
    while (IsWindow(reinterpret_cast<HWND>(static_cast<UINT_PTR>(number)))) ++number;
    return number;
}

}  // namespace

int main() {
    std::string line = env("LAUNCH_LINE", "");
    std::string program = env("LAUNCH_PROGRAM", "");
    if (program.empty()) {
        char path[MAX_PATH];
        DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
        program.assign(path, length);
        program = program.substr(0, program.find_last_of('\\') + 1) + "sandglass.scr";
    }
    DWORD wait_ms = std::strtoul(env("LAUNCH_WAIT_MS", "20000").c_str(), nullptr, 10);
    DWORD close_ms = std::strtoul(env("LAUNCH_CLOSE_MS", "0").c_str(), nullptr, 10);

    std::string windows = env("LAUNCH_WINDOW", "");
    if (windows == "1" || windows == "2") {
        own_window = make_window("launcher", 40);
        if (windows == "2") {
            HWND front = make_window("front", 240);
            std::printf("front=%lu\n", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(front)));
        }
        UINT_PTR handle = reinterpret_cast<UINT_PTR>(own_window);
        unsigned long long wrapped = static_cast<unsigned long long>(handle) + 7ull * 4294967296ull;
        line = replace_all(line, "%H", std::to_string(handle));
        line = replace_all(line, "%W", std::to_string(wrapped));
        std::printf("parent=%lu\n", static_cast<unsigned long>(handle));
    }
    line = replace_all(line, "%N", std::to_string(free_number()));
    for (size_t at = line.find("\\x"); at != std::string::npos && at + 4 <= line.size();
         at = line.find("\\x", at + 1))
        line.replace(at, 4, 1, static_cast<char>(std::strtoul(line.substr(at + 2, 2).c_str(), nullptr, 16)));
    foreground_at_start = GetForegroundWindow();

    std::vector<char> command(line.begin(), line.end());
    command.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    std::fflush(stdout);
    if (!CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::printf("exit=nostart error=%lu\n", GetLastError());
        return 1;
    }
    child_id = process.dwProcessId;

    // Pump the own window's messages while watching the child's windows.
    DWORD start = GetTickCount();
    DWORD shown_at = 0;
    bool done = false;
    while (!done) {
        DWORD result = MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 10, QS_ALLINPUT);
        if (result == WAIT_OBJECT_0) done = true;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        size_t before = seen.size();
        EnumWindows(note_window, 0);
        if (seen.size() > before && shown_at == 0) shown_at = GetTickCount();
        if (own_window && close_ms && !shown_at) {
            // A preview child is not a top-level window: look for it inside our own.
            HWND child = GetWindow(own_window, GW_CHILD);
            if (child) {
                shown_at = GetTickCount();
                char class_name[256] = "";
                GetClassNameA(child, class_name, sizeof class_name);
                char title[256] = "";
                GetWindowTextA(child, title, sizeof title);
                RECT client;
                GetClientRect(child, &client);
                std::printf("child class=%s title=%s size=%ldx%ld\n", class_name, title, client.right,
                            client.bottom);
                std::fflush(stdout);
            }
        }
        if (own_window && close_ms && shown_at && GetTickCount() - shown_at >= close_ms) {
            DestroyWindow(own_window);
            own_window = nullptr;
        }
        if (!done && GetTickCount() - start > wait_ms) {
            TerminateProcess(process.hProcess, 0xDEAD);
            std::printf("exit=timeout\n");
            return 1;
        }
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    std::printf("exit=0x%08lX\n", static_cast<unsigned long>(code));
    return 0;
}
