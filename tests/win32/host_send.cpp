// Drives a running full-screen saver from outside, the way the system and other programs reach
// it: finds the window by class "WindowsScreenSaverClass" and title "Screen Saver" and runs the
// commands given as arguments, one per argument, printing one line per command for the script.
//
//   send:MSG:W:L   SendMessageA; prints "send MSG W L -> result"   (MSG a name below or a number)
//   post:MSG:W:L   PostMessageA; prints "post MSG W L -> ok|failed"
//   autoplay       sends the registered "QueryCancelAutoPlay"; prints "autoplay -> result"
//   settext:TEXT   sends WM_SETTEXT; prints "settext -> result title=TITLE"
//   handle         prints "handle H", the saver window's handle in 8 hex digits (0 when none)
//   window         prints "window style=S extended=E place=L,T,R,B" (styles in hex)
//   class          prints "class style=S icon=I cursor=C" (style in hex; I and C are 1 when the
//                  class has an icon / a cursor)
//   alive          prints "alive 1" while the window found at the start is still a window
//   count          prints "count N", the top-level windows of that class and title
//   foreground     prints "foreground 1" when the saver window is the foreground window
//   running        prints "running N", the system's screen-saver-running state
//   sleep:MS       waits
//   owner:MS       makes a top-level window "Owner", prints "owner HANDLE" (decimal) and keeps
//                  it for MS milliseconds
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char SAVER_CLASS[] = "WindowsScreenSaverClass";
const char SAVER_TITLE[] = "Screen Saver";

struct NamedMessage {
    const char* name;
    UINT message;
};

const NamedMessage MESSAGES[] = {
    {"close", WM_CLOSE},
    {"activateapp", WM_ACTIVATEAPP},
    {"setcursor", WM_SETCURSOR},
    {"power", WM_POWER},
    {"powerbroadcast", WM_POWERBROADCAST},
    {"syscommand", WM_SYSCOMMAND},
    {"keydown", WM_KEYDOWN},
    {"keyup", WM_KEYUP},
    {"char", WM_CHAR},
    {"timer", WM_TIMER},
    {"app", WM_APP},
};

UINT message_number(const char* text) {
    for (const NamedMessage& named : MESSAGES) {
        if (std::strcmp(text, named.name) == 0) return named.message;
    }
    return static_cast<UINT>(std::strtoul(text, nullptr, 0));
}

// Splits "a:b:c" in place into at most count fields.
int split(char* text, char** fields, int count) {
    int found = 0;
    while (found < count) {
        fields[found++] = text;
        char* colon = std::strchr(text, ':');
        if (!colon) break;
        *colon = '\0';
        text = colon + 1;
    }
    return found;
}

int saver_count;
BOOL CALLBACK count_saver(HWND window, LPARAM) {
    char class_name[64], title[64];
    GetClassNameA(window, class_name, sizeof class_name);
    GetWindowTextA(window, title, sizeof title);
    if (std::strcmp(class_name, SAVER_CLASS) == 0 && std::strcmp(title, SAVER_TITLE) == 0) ++saver_count;
    return TRUE;
}

void pump_for(DWORD ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void make_owner(DWORD ms) {
    HWND owner = CreateWindowExA(0, "STATIC", "Owner", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 100, 60,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    std::printf("owner %lu\n", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(owner)));
    std::fflush(stdout);
    pump_for(ms);
    DestroyWindow(owner);
}

}  // namespace

int main(int argc, char** argv) {
    HWND saver = FindWindowA(SAVER_CLASS, SAVER_TITLE);
    for (int i = 1; i < argc; ++i) {
        char* fields[4] = {};
        int count = split(argv[i], fields, 4);
        const char* command = fields[0];
        if (std::strcmp(command, "send") == 0 || std::strcmp(command, "post") == 0) {
            if (count < 4) return 2;
            UINT message = message_number(fields[1]);
            WPARAM wparam = std::strtoul(fields[2], nullptr, 0);
            LPARAM lparam = static_cast<LPARAM>(std::strtol(fields[3], nullptr, 0));
            if (command[0] == 's') {
                LRESULT result = SendMessageA(saver, message, wparam, lparam);
                std::printf("send %s %s %s -> %ld\n", fields[1], fields[2], fields[3], static_cast<long>(result));
            } else {
                BOOL posted = PostMessageA(saver, message, wparam, lparam);
                std::printf("post %s %s %s -> %s\n", fields[1], fields[2], fields[3], posted ? "ok" : "failed");
            }
        } else if (std::strcmp(command, "autoplay") == 0) {
            UINT autoplay = RegisterWindowMessageA("QueryCancelAutoPlay");
            std::printf("autoplay -> %ld\n", static_cast<long>(SendMessageA(saver, autoplay, 0, 0)));
        } else if (std::strcmp(command, "settext") == 0) {
            LRESULT result = SendMessageA(saver, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(count > 1 ? fields[1] : ""));
            char title[64] = "";
            GetWindowTextA(saver, title, sizeof title);
            std::printf("settext -> %ld title=%s\n", static_cast<long>(result), title);
        } else if (std::strcmp(command, "handle") == 0) {
            std::printf("handle %08lx\n", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(saver)));
        } else if (std::strcmp(command, "window") == 0) {
            RECT place = {};
            GetWindowRect(saver, &place);
            std::printf("window style=%08lx extended=%lx place=%ld,%ld,%ld,%ld\n",
                        static_cast<unsigned long>(GetWindowLongA(saver, GWL_STYLE)),
                        static_cast<unsigned long>(GetWindowLongA(saver, GWL_EXSTYLE)), place.left,
                        place.top, place.right, place.bottom);
        } else if (std::strcmp(command, "class") == 0) {
            std::printf("class style=%lx icon=%d cursor=%d\n",
                        static_cast<unsigned long>(GetClassLongA(saver, GCL_STYLE)),
                        GetClassLongPtrA(saver, GCLP_HICON) != 0, GetClassLongPtrA(saver, GCLP_HCURSOR) != 0);
        } else if (std::strcmp(command, "alive") == 0) {
            std::printf("alive %d\n", saver != nullptr && IsWindow(saver));
        } else if (std::strcmp(command, "count") == 0) {
            saver_count = 0;
            EnumWindows(count_saver, 0);
            std::printf("count %d\n", saver_count);
        } else if (std::strcmp(command, "foreground") == 0) {
            std::printf("foreground %d\n", saver != nullptr && GetForegroundWindow() == saver);
        } else if (std::strcmp(command, "running") == 0) {
            BOOL running = FALSE;
            SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
            std::printf("running %d\n", running);
        } else if (std::strcmp(command, "sleep") == 0 && count > 1) {
            Sleep(std::strtoul(fields[1], nullptr, 10));
        } else if (std::strcmp(command, "owner") == 0 && count > 1) {
            make_owner(std::strtoul(fields[1], nullptr, 10));
        } else {
            std::printf("unknown command %s\n", command);
            return 2;
        }
        std::fflush(stdout);
    }
    return 0;
}
