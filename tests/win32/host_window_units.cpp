// host_window_proc in front of a stand-in saver procedure that records what reaches it: which
// messages the host answers itself and which it passes on unchanged, full screen, in a preview
// and once closing has been granted. The stand-in takes the place of the library's saver
// procedure at link time (nothing else here needs that member of the library).
#include <gtest/gtest.h>
#include <windows.h>

#include "saver_procedure.h"
#include "host_state.h"
#include "saver_window.h"

namespace {

constexpr LRESULT PASSED_ON = 0x5A5A;  // the stand-in's answer while a test message is sent
bool marking;
UINT watched;       // the message under test
bool watched_seen;  // it reached the stand-in

struct Outcome {
    LRESULT result;
    bool passed;
};

}  // namespace

LRESULT saver_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (!marking) return DefWindowProcA(window, message, wparam, lparam);
    if (message == watched) watched_seen = true;
    return PASSED_ON;
}

namespace {

struct ParentSeen {
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};
ParentSeen parent_seen;

LRESULT CALLBACK parent_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_HELP || message == WM_CONTEXTMENU) parent_seen = {message, wparam, lparam};
    return DefWindowProcA(window, message, wparam, lparam);
}

class HostWindow : public ::testing::Test {
protected:
    HWND parent = nullptr;
    HWND window = nullptr;

    void SetUp() override {
        reset_host_state();
        HINSTANCE instance = GetModuleHandleA(nullptr);
        WNDCLASSA window_class = {};
        window_class.hInstance = instance;
        window_class.lpfnWndProc = host_window_proc;
        window_class.lpszClassName = "HostWindowUnits";
        RegisterClassA(&window_class);
        window_class.lpfnWndProc = parent_proc;
        window_class.lpszClassName = "HostWindowUnitsParent";
        RegisterClassA(&window_class);
    }

    void TearDown() override {
        marking = false;
        if (window && IsWindow(window)) DestroyWindow(window);
        if (parent) DestroyWindow(parent);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {}
        reset_host_state();
    }

    // Never shown, so that nothing reaches the windows from outside the test.
    void make(bool preview) {
        host.preview = preview ? 1 : 0;
        if (preview) {
            parent = CreateWindowExA(0, "HostWindowUnitsParent", "Parent", WS_POPUP, 0, 0, 50, 50,
                                     nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        }
        window = CreateWindowExA(0, "HostWindowUnits", "Saver", preview ? WS_CHILD : WS_POPUP, 0, 0,
                                 40, 40, parent, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
    }

    Outcome send(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
        watched = message;
        watched_seen = false;
        marking = true;
        LRESULT result = host_window_proc(window, message, wparam, lparam);
        marking = false;
        return {result, watched_seen};
    }

    void expect_passed(UINT message, WPARAM wparam = 0) {
        Outcome outcome = send(message, wparam);
        EXPECT_TRUE(outcome.passed) << std::hex << message << " " << wparam;
        EXPECT_EQ(outcome.result, PASSED_ON) << std::hex << message << " " << wparam;
    }

    void expect_answered(UINT message, WPARAM wparam, LRESULT answer) {
        Outcome outcome = send(message, wparam);
        EXPECT_FALSE(outcome.passed) << std::hex << message << " " << wparam;
        EXPECT_EQ(outcome.result, answer) << std::hex << message << " " << wparam;
    }
};

const UINT INPUTS[] = {WM_KEYDOWN,     WM_SYSKEYDOWN,  WM_MOUSEMOVE,
                       WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
const WPARAM REFUSED_COMMANDS[] = {SC_NEXTWINDOW, SC_PREVWINDOW, SC_SCREENSAVE};

TEST_F(HostWindow, FullScreenPassesOnAllButTheTitleAndTheRefusedCommands) {
    make(false);
    expect_answered(WM_SETTEXT, 0, 0);
    for (WPARAM command : REFUSED_COMMANDS) expect_answered(WM_SYSCOMMAND, command, 0);
    expect_passed(WM_SYSCOMMAND, SC_NEXTWINDOW | 1);  // compared whole
    expect_passed(WM_SYSCOMMAND, SC_CLOSE);
    for (UINT input : INPUTS) expect_passed(input);
    const UINT others[] = {WM_PAINT, WM_TIMER, WM_HELP, WM_CONTEXTMENU, WM_USER, WM_CLOSE, WM_APP,
                           WM_ACTIVATEAPP, WM_SETCURSOR, WM_KEYUP, WM_CHAR};
    for (UINT message : others) expect_passed(message);
}

TEST_F(HostWindow, OnceClosingIsGrantedInputPaintAndTimerStopAtTheHost) {
    make(false);
    host.closing = TRUE;
    for (UINT input : INPUTS) {
        Outcome outcome = send(input);
        EXPECT_FALSE(outcome.passed) << std::hex << input;
        EXPECT_NE(outcome.result, PASSED_ON) << std::hex << input;
    }
    EXPECT_FALSE(send(WM_PAINT).passed);
    expect_answered(WM_TIMER, 1, 0);
    expect_passed(WM_USER);  // the frame message still runs
    expect_passed(WM_CLOSE);
}

TEST_F(HostWindow, PreviewPassesCommandsOnAndSendsHelpToTheParent) {
    make(true);
    for (WPARAM command : REFUSED_COMMANDS) expect_passed(WM_SYSCOMMAND, command);
    for (UINT input : INPUTS) expect_passed(input);

    parent_seen = {};
    HELPINFO help = {};
    help.cbSize = sizeof help;
    watched = WM_HELP;
    watched_seen = false;
    marking = true;
    LRESULT result = host_window_proc(window, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
    marking = false;
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(watched_seen);
    EXPECT_EQ(parent_seen.message, static_cast<UINT>(WM_HELP));
    EXPECT_EQ(parent_seen.wparam, reinterpret_cast<WPARAM>(parent));
    EXPECT_EQ(parent_seen.lparam, reinterpret_cast<LPARAM>(&help));

    Outcome menu = send(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), MAKELPARAM(5, 6));
    EXPECT_EQ(menu.result, 1);
    EXPECT_FALSE(menu.passed);
    MSG posted;
    ASSERT_TRUE(PeekMessageA(&posted, parent, WM_CONTEXTMENU, WM_CONTEXTMENU, PM_REMOVE));
    EXPECT_EQ(posted.wParam, reinterpret_cast<WPARAM>(parent));
    EXPECT_EQ(posted.lParam, MAKELPARAM(5, 6));
}

TEST_F(HostWindow, CreationTakesTheCursorReferenceAndDestructionQuits) {
    ASSERT_TRUE(SetCursorPos(123, 45));
    SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));
    make(false);
    EXPECT_EQ(host.cursor_reference.x, 123);
    EXPECT_EQ(host.cursor_reference.y, 45);
    EXPECT_EQ(GetCursor(), nullptr);  // hidden full screen
    DestroyWindow(window);
    MSG quit;
    ASSERT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 0u);
}

}  // namespace
