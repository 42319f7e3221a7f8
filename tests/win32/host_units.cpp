// The host's rules in one process, without the saver procedure: the state record, the tick
// difference, the dismissal rules on a window of our own whose procedure is dismissal_proc, the
// close decision with a scripted verifier, the reading of "ScreenSaveUsePassword" with the
// stand-in PASSWORD.CPL, and the configure dialog on the Windows 95 family. Run by host_units.sh under Xvfb (the mouse rule reads the real cursor).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "configure_dialog.h"
#include "dismissal.h"
#include "display_import_spy.h"
#include "host_state.h"

namespace {

// Taken during static initialisation, before any test has touched the record.
const HostState state_at_load = host;

void expect_initial(const HostState& state) {
    EXPECT_EQ(state.instance, nullptr);
    EXPECT_EQ(state.win9x, 0);
    EXPECT_EQ(state.saver_window, nullptr);
    EXPECT_EQ(state.preview, 0);
    EXPECT_EQ(state.closing, 0);
    EXPECT_EQ(state.verifying, 0);
    EXPECT_EQ(state.verifier_module, nullptr);
    EXPECT_EQ(state.verify_fn, nullptr);
    EXPECT_EQ(state.autoplay_message, 0u);
    EXPECT_EQ(state.imm_module, nullptr);
    EXPECT_EQ(state.associate_context_fn, nullptr);
    EXPECT_EQ(state.saved_ime_context, nullptr);
    EXPECT_EQ(state.cursor_reference.x, 0);
    EXPECT_EQ(state.cursor_reference.y, 0);
    EXPECT_EQ(state.move_threshold, 4u);
    EXPECT_EQ(state.last_verify_tick, 0xFFFFFFFFu);
    EXPECT_EQ(state.saver_name[0], '\0');
}

TEST(HostState, InitialValuesStandAtLoadAndAfterReset) {
    expect_initial(state_at_load);
    host.instance = GetModuleHandleA(nullptr);
    host.win9x = 1;
    host.preview = 1;
    host.closing = TRUE;
    host.verifying = 1;
    host.autoplay_message = 0xC123;
    host.cursor_reference = {17, -3};
    host.move_threshold = 9;
    host.last_verify_tick = 5;
    host.saver_name[0] = 'x';
    reset_host_state();
    expect_initial(host);
}

TEST(TicksBetween, IsLaterMinusEarlierAcrossTheWrap) {
    struct Case {
        DWORD earlier, later, expected;
    };
    const Case cases[] = {
        {1000, 1200, 200},
        {5, 5, 0},
        {0xFFFFFF9C, 0x00000064, 200},  // 100 ms either side of the wrap
        {0xFFFFFFFF, 0, 1},
        {0, 0xFFFFFFFF, 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ticks_between(c.earlier, c.later), c.expected) << c.earlier << " -> " << c.later;
    }
}

// --- a window whose procedure is dismissal_proc ----------------------------------------------

LRESULT CALLBACK rules_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return dismissal_proc(window, message, wparam, lparam);
}

class Dismissal : public ::testing::Test {
protected:
    HWND window = nullptr;

    void SetUp() override {
        reset_host_state();
        WNDCLASSA window_class = {};
        window_class.lpfnWndProc = rules_window_proc;
        window_class.hInstance = GetModuleHandleA(nullptr);
        window_class.lpszClassName = "HostUnitsRules";
        RegisterClassA(&window_class);
        // Never shown, so that no activation change reaches it from outside the test.
        window = CreateWindowExA(0, "HostUnitsRules", "Rules", WS_POPUP, 0, 0, 10, 10, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
        host.saver_window = window;
        drain();
    }

    void TearDown() override {
        if (IsWindow(window)) DestroyWindow(window);
        drain();
        reset_host_state();
    }

    // Every posted close is taken from the queue: the count of closes posted since the last call.
    int closes_posted() {
        int count = 0;
        MSG message;
        while (PeekMessageA(&message, window, WM_CLOSE, WM_CLOSE, PM_REMOVE)) ++count;
        return count;
    }

    void drain() {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {}
    }

    void place_cursor(int x, int y) {
        ASSERT_TRUE(SetCursorPos(x, y));
        POINT now;
        GetCursorPos(&now);
        ASSERT_EQ(now.x, x);
        ASSERT_EQ(now.y, y);
    }

    LRESULT move_to(int x, int y) {
        place_cursor(x, y);
        // The message's own coordinates are deliberately wrong: only the cursor counts.
        return dismissal_proc(window, WM_MOUSEMOVE, 0, MAKELPARAM(1000, 1000));
    }
};

BOOL WINAPI refusing_verifier(HWND) { return FALSE; }

struct RuleCase {
    const char* name;
    UINT message;
    WPARAM wparam;
    bool closes;
};

const RuleCase RULES[] = {
    {"key down", WM_KEYDOWN, 'A', true},
    {"system key down", WM_SYSKEYDOWN, 'X', true},
    {"left button", WM_LBUTTONDOWN, MK_LBUTTON, true},
    {"right button", WM_RBUTTONDOWN, MK_RBUTTON, true},
    {"middle button", WM_MBUTTONDOWN, MK_MBUTTON, true},
    {"deactivation", WM_ACTIVATEAPP, 0, true},
    {"activation", WM_ACTIVATEAPP, 1, false},
    {"critical resume", WM_POWER, PWR_CRITICALRESUME, true},
    {"suspend request", WM_POWER, PWR_SUSPENDREQUEST, false},
    {"suspend resume", WM_POWER, PWR_SUSPENDRESUME, false},
    {"power broadcast 0", WM_POWERBROADCAST, 0, true},
    {"power broadcast resume", WM_POWERBROADCAST, 7, true},
    {"power broadcast setting", WM_POWERBROADCAST, 0x8013, true},
    {"key up", WM_KEYUP, 'A', false},
    {"system key up", WM_SYSKEYUP, 'X', false},
    {"character", WM_CHAR, 'a', false},
    {"left button up", WM_LBUTTONUP, 0, false},
    {"double-click", WM_LBUTTONDBLCLK, MK_LBUTTON, false},
    {"right double-click", WM_RBUTTONDBLCLK, MK_RBUTTON, false},
    {"wheel", WM_MOUSEWHEEL, MAKEWPARAM(0, 120), false},
    {"timer", WM_TIMER, 1, false},
    {"shown", WM_SHOWWINDOW, 1, false},
};

TEST_F(Dismissal, FullScreenRulesCloseOnExactlyTheirMessages) {
    for (const RuleCase& rule : RULES) {
        dismissal_proc(window, rule.message, rule.wparam, 0);
        EXPECT_EQ(closes_posted(), rule.closes ? 1 : 0) << rule.name;
    }
}

TEST_F(Dismissal, NoRuleAppliesInPreviewWhileClosingOrWhileVerifying) {
    int* flags[] = {&host.preview, &host.closing, &host.verifying};
    for (int* flag : flags) {
        reset_host_state();
        *flag = 1;
        for (const RuleCase& rule : RULES) dismissal_proc(window, rule.message, rule.wparam, 0);
        place_cursor(900, 700);
        dismissal_proc(window, WM_MOUSEMOVE, 0, 0);
        EXPECT_EQ(closes_posted(), 0);
        EXPECT_EQ(host.cursor_reference.x, 0);  // the reference did not move either
    }
}

TEST_F(Dismissal, MouseMustMoveMoreThanFourPixelsFromTheReference) {
    host.cursor_reference = {300, 300};
    move_to(303, 301);  // distance 4
    EXPECT_EQ(closes_posted(), 0);
    EXPECT_EQ(host.cursor_reference.x, 300);
    EXPECT_EQ(host.cursor_reference.y, 300);
    move_to(303, 302);  // distance 5
    EXPECT_EQ(closes_posted(), 1);
    EXPECT_EQ(host.cursor_reference.x, 303);
    EXPECT_EQ(host.cursor_reference.y, 302);
    move_to(299, 302);  // 4 to the left of the new reference
    EXPECT_EQ(closes_posted(), 0);
    move_to(303, 297);  // 5 up
    EXPECT_EQ(closes_posted(), 1);
}

TEST_F(Dismissal, SlowDriftClosesOnTheMoveThatReachesFive) {
    host.cursor_reference = {500, 400};
    const POINT path[] = {{501, 400}, {502, 400}, {502, 399}, {501, 398}, {500, 398}, {499, 398}};
    // Distances from the reference: 1, 2, 3, 3, 2, 3; then the closing steps below.
    for (const POINT& step : path) {
        move_to(step.x, step.y);
        EXPECT_EQ(closes_posted(), 0) << step.x << "," << step.y;
    }
    move_to(498, 398);  // 4
    EXPECT_EQ(closes_posted(), 0);
    move_to(497, 398);  // 5
    EXPECT_EQ(closes_posted(), 1);
}

TEST_F(Dismissal, AutoPlayQueryClosesInEveryModeAnsweringWhetherAVerifierIsLoaded) {
    const UINT autoplay = RegisterWindowMessageA("QueryCancelAutoPlay");
    ASSERT_NE(autoplay, 0u);
    host.autoplay_message = autoplay;
    EXPECT_EQ(dismissal_proc(window, autoplay, 0, 0), 0);
    EXPECT_EQ(closes_posted(), 1);
    host.verify_fn = refusing_verifier;
    EXPECT_EQ(dismissal_proc(window, autoplay, 0, 0), 1);
    EXPECT_EQ(closes_posted(), 1);
    host.preview = 1;
    EXPECT_EQ(dismissal_proc(window, autoplay, 0, 0), 1);
    EXPECT_EQ(closes_posted(), 1);
    host.closing = TRUE;
    host.verifying = 1;
    EXPECT_EQ(dismissal_proc(window, autoplay, 0, 0), 1);
    EXPECT_EQ(closes_posted(), 1);
    // Without a registered message, message 0 is nothing special.
    host.autoplay_message = 0;
    dismissal_proc(window, 0, 0, 0);
    EXPECT_EQ(closes_posted(), 0);
}

// --- the close decision with a scripted verifier --------------------------------------------

struct Verifier {
    std::vector<BOOL> answers;
    int calls = 0;
    int depth = 0;
    int deepest = 0;
    HWND window = nullptr;
    void (*during)(HWND) = nullptr;  // what the "user" does while the dialog is open
};
Verifier verifier;

BOOL WINAPI scripted_verifier(HWND window) {
    ++verifier.depth;
    if (verifier.depth > verifier.deepest) verifier.deepest = verifier.depth;
    verifier.window = window;
    BOOL answer = verifier.calls < static_cast<int>(verifier.answers.size()) ? verifier.answers[verifier.calls] : TRUE;
    ++verifier.calls;
    if (verifier.during) verifier.during(window);
    SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));  // a dialog shows the cursor
    --verifier.depth;
    return answer;
}

class Verification : public Dismissal {
protected:
    void SetUp() override {
        Dismissal::SetUp();
        verifier = Verifier{};
        host.win9x = 1;
        host.verify_fn = scripted_verifier;
    }
};

TEST_F(Verification, RefusalKeepsTheWindowHidesTheCursorAndRereadsTheReference) {
    verifier.answers = {FALSE};
    host.cursor_reference = {10, 10};
    place_cursor(640, 480);
    const DWORD before = GetTickCount();
    EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
    const DWORD after = GetTickCount();
    EXPECT_EQ(verifier.calls, 1);
    EXPECT_EQ(verifier.window, window);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(host.closing, 0);
    EXPECT_EQ(host.verifying, 0);
    EXPECT_EQ(GetCursor(), nullptr);
    EXPECT_EQ(host.cursor_reference.x, 640);
    EXPECT_EQ(host.cursor_reference.y, 480);
    EXPECT_LE(ticks_between(before, host.last_verify_tick), ticks_between(before, after));
}

TEST_F(Verification, RepeatWithin200MsIsRefusedWithoutAskingAndTheFirstIsNeverDelayed) {
    verifier.answers = {FALSE, FALSE, FALSE};
    host.last_verify_tick = NO_VERIFICATION_YET;
    EXPECT_EQ(verify_before_close(window), FALSE);
    EXPECT_EQ(verifier.calls, 1);
    EXPECT_EQ(verify_before_close(window), FALSE);  // at once: refused without a dialog
    EXPECT_EQ(verifier.calls, 1);
    host.last_verify_tick = GetTickCount() - 150;
    EXPECT_EQ(verify_before_close(window), FALSE);
    EXPECT_EQ(verifier.calls, 1);
    host.last_verify_tick = GetTickCount() - 200;  // the limit itself asks again
    EXPECT_EQ(verify_before_close(window), FALSE);
    EXPECT_EQ(verifier.calls, 2);
}

TEST_F(Verification, GrantedCloseDestroysTheWindowAndEndsTheRules) {
    verifier.answers = {FALSE, TRUE};
    EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(IsWindow(window));
    host.last_verify_tick = GetTickCount() - 1000;
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(verifier.calls, 2);
    EXPECT_NE(host.closing, 0);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(Verification, AtMostTwoPendingTimerMessagesAreDropped) {
    verifier.answers = {FALSE};
    for (int i = 0; i < 3; ++i) PostMessageA(window, WM_TIMER, 1, 0);
    verify_before_close(window);
    int left = 0;
    MSG message;
    while (PeekMessageA(&message, window, WM_TIMER, WM_TIMER, PM_REMOVE)) ++left;
    EXPECT_EQ(left, 1);
}

// While the dialog is open the user presses keys, the system asks to close again and a stray
// WM_APP arrives: nothing of it may close the saver or open a second dialog.
void busy_user(HWND window) {
    EXPECT_EQ(host.verifying, 1);
    EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(SendMessageA(window, WM_APP, 0, 0), 0);
    SendMessageA(window, WM_KEYDOWN, 'A', 0);
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
}

TEST_F(Verification, CloseRequestsDuringTheDialogAreRefusedWithoutNesting) {
    verifier.answers = {FALSE};
    verifier.during = busy_user;
    EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(verifier.calls, 1);
    EXPECT_EQ(verifier.deepest, 1);
    EXPECT_EQ(closes_posted(), 0);
    EXPECT_TRUE(IsWindow(window));
}

// --- a cursor position that cannot be read ----------------------------------------------------

// The program's import slot of GetCursorPos: the host's calls go through it.
extern "C" BOOL(WINAPI* imported_get_cursor_pos)(POINT*) __asm__("__imp__GetCursorPos@4");

// GetCursorPos as it fails where the desktop is not the input desktop: FALSE, and nothing usable
// in the point (here a place far from any reference).
BOOL WINAPI unreadable_cursor_pos(POINT* point) {
    point->x = 100000;
    point->y = -100000;
    return FALSE;
}

// Swaps the import slot's target; gives back the one it replaced.
BOOL(WINAPI* route_get_cursor_pos(BOOL(WINAPI* target)(POINT*)))(POINT*) {
    DWORD old_protection;
    VirtualProtect(&imported_get_cursor_pos, sizeof imported_get_cursor_pos, PAGE_READWRITE, &old_protection);
    BOOL(WINAPI* previous)(POINT*) = imported_get_cursor_pos;
    imported_get_cursor_pos = target;
    VirtualProtect(&imported_get_cursor_pos, sizeof imported_get_cursor_pos, old_protection, &old_protection);
    return previous;
}

TEST_F(Verification, AnUnreadableCursorPositionMovesNothing) {
    verifier.answers = {FALSE};
    host.cursor_reference = {300, 300};
    BOOL(WINAPI* real)(POINT*) = route_get_cursor_pos(unreadable_cursor_pos);
    dismissal_proc(window, WM_MOUSEMOVE, 0, MAKELPARAM(1000, 1000));
    const int closes_after_move = closes_posted();
    const POINT after_move = host.cursor_reference;
    SendMessageA(window, WM_CLOSE, 0, 0);  // refused: the reference would be read again
    const POINT after_refusal = host.cursor_reference;
    route_get_cursor_pos(real);
    EXPECT_EQ(closes_after_move, 0);
    EXPECT_EQ(after_move.x, 300);
    EXPECT_EQ(after_move.y, 300);
    EXPECT_EQ(verifier.calls, 1);
    EXPECT_EQ(after_refusal.x, 300);
    EXPECT_EQ(after_refusal.y, 300);
    EXPECT_TRUE(IsWindow(window));
}

// --- "ScreenSaveUsePassword" and the stand-in PASSWORD.CPL -----------------------------------

bool screen_saver_running() {
    BOOL running = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
    return running != FALSE;
}

void set_screen_saver_running(BOOL running) {
    UINT previous;
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, running, &previous, 0);
}

std::string system_file(const char* name) {
    char directory[MAX_PATH];
    GetSystemDirectoryA(directory, sizeof directory);
    return std::string(directory) + "\\" + name;
}

// Puts a stand-in from the directory that HOST_UNITS_STANDINS names in place as PASSWORD.CPL.
void install_verifier(const char* standin) {
    char directory[MAX_PATH];
    ASSERT_NE(GetEnvironmentVariableA("HOST_UNITS_STANDINS", directory, sizeof directory), 0u);
    std::string source = std::string(directory) + "\\" + standin;
    ASSERT_TRUE(CopyFileA(source.c_str(), system_file("PASSWORD.CPL").c_str(), FALSE)) << source;
}

class PasswordSetting : public ::testing::Test {
protected:
    void SetUp() override {
        reset_host_state();
        host.win9x = 1;
        set_screen_saver_running(FALSE);
        ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &key), ERROR_SUCCESS);
        install_verifier("standin_password.dll");
    }

    void TearDown() override {
        release_password_verifier();
        RegDeleteValueA(key, "ScreenSaveUsePassword");
        RegCloseKey(key);
        DeleteFileA(system_file("PASSWORD.CPL").c_str());
        set_screen_saver_running(FALSE);
        reset_host_state();
    }

    void set_value(DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(RegSetValueExA(key, "ScreenSaveUsePassword", 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
    }

    HKEY key = nullptr;
};

TEST_F(PasswordSetting, ValueIsReadAsUpToFourBytesAnyNonZeroByteSwitchingProtectionOn) {
    struct Case {
        const char* name;
        DWORD type;
        const char* data;
        DWORD size;
        bool on;
    };
    const Case cases[] = {
        {"dword 1", REG_DWORD, "\x01\x00\x00\x00", 4, true},
        {"dword 0", REG_DWORD, "\x00\x00\x00\x00", 4, false},
        {"dword high byte", REG_DWORD, "\x00\x00\x00\x01", 4, true},
        {"one byte 1", REG_BINARY, "\x01", 1, true},
        {"one byte 0", REG_BINARY, "\x00", 1, false},
        {"two bytes, second set", REG_BINARY, "\x00\x02", 2, true},
        {"empty", REG_BINARY, "", 0, false},
        {"string 1", REG_SZ, "1", 2, true},
        {"five bytes (too long)", REG_BINARY, "\x01\x00\x00\x00\x00", 5, false},
    };
    for (const Case& c : cases) {
        set_value(c.type, c.data, c.size);
        load_password_verifier();
        EXPECT_EQ(host.verify_fn != nullptr, c.on) << c.name;
        EXPECT_EQ(host.verifier_module != nullptr, c.on) << c.name;
        EXPECT_EQ(screen_saver_running(), c.on) << c.name;
        release_password_verifier();
        EXPECT_EQ(host.verify_fn, nullptr) << c.name;
        EXPECT_EQ(host.verifier_module, nullptr) << c.name;
        EXPECT_FALSE(screen_saver_running()) << c.name;
    }
}

TEST_F(PasswordSetting, LoadingTwiceReleasesTheFirstVerifier) {
    set_value(REG_DWORD, "\x01\x00\x00\x00", 4);
    load_password_verifier();
    ASSERT_NE(host.verify_fn, nullptr);
    load_password_verifier();
    EXPECT_NE(host.verify_fn, nullptr);
    EXPECT_TRUE(screen_saver_running());
    release_password_verifier();
    // One load is left after one release only if the first was released: the module is gone.
    EXPECT_EQ(GetModuleHandleA("PASSWORD.CPL"), nullptr);
}

TEST_F(PasswordSetting, NothingIsLoadedOutsideThe95FamilyOrWithoutTheKeyOrLibrary) {
    set_value(REG_DWORD, "\x01\x00\x00\x00", 4);
    host.win9x = 0;
    load_password_verifier();
    EXPECT_EQ(host.verifier_module, nullptr);
    EXPECT_EQ(GetModuleHandleA("PASSWORD.CPL"), nullptr);

    host.win9x = 1;
    RegDeleteValueA(key, "ScreenSaveUsePassword");
    load_password_verifier();
    EXPECT_EQ(host.verifier_module, nullptr);

    set_value(REG_DWORD, "\x01\x00\x00\x00", 4);
    DeleteFileA(system_file("PASSWORD.CPL").c_str());
    load_password_verifier();
    EXPECT_EQ(host.verifier_module, nullptr);
    EXPECT_EQ(host.verify_fn, nullptr);
    EXPECT_FALSE(screen_saver_running());
}

TEST_F(PasswordSetting, ALibraryWithoutTheFunctionIsFreedAndTheRunningStateLeftAlone) {
    set_value(REG_DWORD, "\x01\x00\x00\x00", 4);
    install_verifier("standin_mpr.dll");
    set_screen_saver_running(TRUE);  // release would switch it off if it thought it had been on
    load_password_verifier();
    EXPECT_EQ(host.verifier_module, nullptr);
    EXPECT_EQ(host.verify_fn, nullptr);
    EXPECT_EQ(GetModuleHandleA("PASSWORD.CPL"), nullptr);
    EXPECT_TRUE(screen_saver_running());
}

TEST(ScreenSaverRunning, IsSwitchedOnlyOnThe95Family) {
    reset_host_state();
    set_screen_saver_running(FALSE);
    set_saver_running(TRUE);
    EXPECT_FALSE(screen_saver_running());
    host.win9x = 1;
    set_saver_running(TRUE);
    EXPECT_TRUE(screen_saver_running());
    set_saver_running(FALSE);
    EXPECT_FALSE(screen_saver_running());
    reset_host_state();
}

// --- the configure dialog on the Windows 95 family ----------------------------------------------

// The 95 family's Unicode window functions are stubs that fail at once; while `stubbed`, the
// host's imports of them behave so.
bool stubbed = false;
decltype(&DialogBoxParamW) real_dialog_box_w;
decltype(&SetWindowTextW) real_set_text_w;

INT_PTR WINAPI stub_dialog_box_w(HINSTANCE instance, LPCWSTR name, HWND owner, DLGPROC proc, LPARAM l) {
    if (!stubbed) return real_dialog_box_w(instance, name, owner, proc, l);
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
}

BOOL WINAPI stub_set_text_w(HWND window, LPCWSTR text) {
    if (!stubbed) return real_set_text_w(window, text);
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}

std::string dialog_caption;
bool dialog_seen = false;

BOOL CALLBACK find_dialog(HWND window, LPARAM found) {
    char name[16] = "";
    GetClassNameA(window, name, sizeof name);
    if (std::string(name) != "#32770") return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// Runs in the dialog's own message loop: reads the caption and presses OK.
void CALLBACK read_and_close(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), find_dialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog == nullptr) return;
    KillTimer(nullptr, timer);
    dialog_seen = true;
    char caption[64] = "";
    GetWindowTextA(dialog, caption, sizeof caption);
    dialog_caption = caption;
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

TEST(ConfigureDialog, OnThe95FamilyIsShownThroughTheAnsiFunctions) {
    ASSERT_TRUE(redirect_import("user32.dll", "DialogBoxParamW", &stub_dialog_box_w, real_dialog_box_w));
    ASSERT_TRUE(redirect_import("user32.dll", "SetWindowTextW", &stub_set_text_w, real_set_text_w));
    reset_host_state();
    host.instance = GetModuleHandleA(nullptr);
    host.win9x = 1;
    stubbed = true;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, read_and_close);
    const INT_PTR result = show_configure_dialog(nullptr);
    KillTimer(nullptr, timer);
    stubbed = false;
    reset_host_state();
    EXPECT_TRUE(dialog_seen);
    EXPECT_EQ(1, result) << "OK ends the dialog with 1";
    // "Mirabel・" in the ANSI code page: on a Japanese system the Shift-JIS bytes it always had.
    char dot[8] = "";
    WideCharToMultiByte(CP_ACP, 0, L"\x30FB", -1, dot, sizeof dot, nullptr, nullptr);
    EXPECT_EQ(std::string("Mirabel") + dot, dialog_caption);
}

}  // namespace
