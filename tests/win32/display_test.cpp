// Display set-up and the saver procedure against the scripted DirectDraw stand-in
// (display_fake_ddraw.h), which lies beside this program and is loaded in place of Wine's own.
// Every set-up path, the arguments of every DirectDraw call, the frame's sequence and the
// procedure's handling of creation, frames, the timer and destruction.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "direct_draw.h"
#include "fixed_palette.h"
#include "frame_clock.h"
#include "pixel_format.h"
#include "saver_procedure.h"
#include "display_fake_ddraw.h"
#include "display_import_spy.h"
#include "display_timer_spy.h"
#include "host_state.h"
#include "proc_address.h"
#include "background.h"
#include "scene.h"
#include "world.h"

namespace {

FakeScript* script;
FakeRecord* record;
FakeResetFn reset_fake;

const char WINDOW_CLASS[] = "DisplayTestWindow";

// Closes posted by the dismissal rules (activation changes while tests run) are dropped: each
// test destroys its own windows.
LRESULT CALLBACK test_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_CLOSE) return 0;
    return saver_procedure(window, message, wparam, lparam);
}

bool reach_fake() {
    HMODULE ddraw = GetModuleHandleA("ddraw.dll");
    if (ddraw == nullptr) return false;
    auto script_fn = find_proc<FakeScriptFn>(ddraw, "fake_ddraw_script");
    auto record_fn = find_proc<FakeRecordFn>(ddraw, "fake_ddraw_record");
    reset_fake = find_proc<FakeResetFn>(ddraw, "fake_ddraw_reset");
    if (script_fn == nullptr || record_fn == nullptr || reset_fake == nullptr) return false;
    script = script_fn();
    record = record_fn();
    return true;
}

// Bounded even when messages keep coming (a frame that lets the timer post during its wait).
void pump_messages(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (GetTickCount() - start <= milliseconds + 100 &&
               PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        Sleep(1);
    } while (GetTickCount() - start < milliseconds);
}

std::string order() { return record->order; }

bool all_zero(const void* from, size_t bytes) {
    const BYTE* p = static_cast<const BYTE*>(from);
    for (size_t i = 0; i < bytes; ++i)
        if (p[i] != 0) return false;
    return true;
}

class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(reach_fake()) << "ddraw.dll is not the stand-in (WINEDLLOVERRIDES=ddraw=n?)";
        ASSERT_TRUE(install_timer_spy()) << "no import slot of a winmm timer function";
        reset_fake();
        reset_display();
        reset_saver_view();
        reset_host_state();
        host.instance = GetModuleHandleA(nullptr);
        pixel_format = PixelFormat{};
        frame_clock = FrameClock{};
        init_world();
        reset_scene();
        init_background();
        WNDCLASSA window_class = {};
        window_class.lpfnWndProc = test_window_proc;
        window_class.hInstance = host.instance;
        window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        window_class.lpszClassName = WINDOW_CLASS;
        RegisterClassA(&window_class);  // fails harmlessly from the second test on
    }

    void TearDown() override {
        if (window_ != nullptr) DestroyWindow(window_);
        if (parent_ != nullptr) DestroyWindow(parent_);
        pump_messages(0);
    }

    // A hidden full-screen-style popup of the given client size (at the given place on the
    // screen, the virtual screen of a layout of monitors): its creation runs set-up.
    HWND make_window(int width, int height, int left = 0, int top = 0) {
        window_ = CreateWindowExA(0, WINDOW_CLASS, "Screen Saver", WS_POPUP, left, top, width,
                                  height, nullptr, nullptr, host.instance, nullptr);
        return window_;
    }

    // A window of another class for calling setup_display directly: its creation sets up nothing.
    HWND scratch_window() {
        window_ = CreateWindowExA(0, "STATIC", "scratch", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr,
                                  host.instance, nullptr);
        return window_;
    }

    void destroy_window() {
        DestroyWindow(window_);
        window_ = nullptr;
    }

    HWND window_ = nullptr;
    HWND parent_ = nullptr;
};

// --- set-up ------------------------------------------------------------------------------------

void expect_surface_descriptions() {
    DDSURFACEDESC primary = record->primary_desc;
    EXPECT_EQ(108u, primary.dwSize);
    EXPECT_EQ(static_cast<DWORD>(DDSD_CAPS), primary.dwFlags);
    EXPECT_EQ(static_cast<DWORD>(DDSCAPS_PRIMARYSURFACE), primary.ddsCaps.dwCaps);
    primary.dwSize = primary.dwFlags = primary.ddsCaps.dwCaps = 0;
    EXPECT_TRUE(all_zero(&primary, sizeof primary)) << "all else zero";
    EXPECT_TRUE(record->primary_outer_null);

    DDSURFACEDESC back = record->back_desc;
    EXPECT_EQ(108u, back.dwSize);
    EXPECT_EQ(7u, back.dwFlags);
    EXPECT_EQ(480u, back.dwHeight);
    EXPECT_EQ(640u, back.dwWidth);
    EXPECT_EQ(0x40u, back.ddsCaps.dwCaps);
    back.dwSize = back.dwFlags = back.dwHeight = back.dwWidth = back.ddsCaps.dwCaps = 0;
    EXPECT_TRUE(all_zero(&back, sizeof back)) << "no pixel format, no memory kind";
    EXPECT_TRUE(record->back_outer_null);
}

TEST_F(DisplayTest, SetupAt32BitsMakesSurfacesAndClipperAndBuildsTheScene) {
    HWND window = scratch_window();
    const DWORD before = GetTickCount();
    setup_display(window);
    const DWORD after = GetTickCount();

    EXPECT_EQ("DCPFBKHA", order());
    EXPECT_EQ(nullptr, record->create_guid);
    EXPECT_EQ(nullptr, record->create_outer);
    EXPECT_EQ(window, record->cooperative_window);
    EXPECT_EQ(0x11u, record->cooperative_flags);
    EXPECT_EQ(32u, record->pixel_format_size);
    expect_surface_descriptions();
    EXPECT_EQ(0u, record->clipper_flags);
    EXPECT_TRUE(record->clipper_outer_null);
    EXPECT_EQ(0u, record->clipper_window_flags);
    EXPECT_EQ(window, record->clipper_window);
    EXPECT_TRUE(record->clipper_set_is_created);
    EXPECT_TRUE(record->clipper_set_on_primary);
    EXPECT_EQ(0, record->direct_draw_releases + record->other_releases);

    EXPECT_NE(nullptr, display.direct_draw);
    EXPECT_NE(nullptr, display.primary_surface);
    EXPECT_NE(nullptr, display.back_surface);
    EXPECT_NE(nullptr, display.clipper);
    EXPECT_EQ(nullptr, display.palette);
    EXPECT_EQ(0, display.too_few_colors);

    EXPECT_EQ(4, pixel_format.bytes_per_pixel);
    EXPECT_EQ(0xFF0000u, pixel_format.red_mask);
    EXPECT_EQ(0xFF00u, pixel_format.green_mask);
    EXPECT_EQ(0xFFu, pixel_format.blue_mask);
    EXPECT_EQ(16, pixel_format.red_shift);
    EXPECT_EQ(8, pixel_format.green_shift);
    EXPECT_EQ(0, pixel_format.blue_shift);
    EXPECT_EQ(640u, pixel_format.width);
    EXPECT_EQ(480u, pixel_format.height);
    EXPECT_EQ(0u, pixel_format.fill_color);
    EXPECT_EQ(nullptr, pixel_format.pixels);

    EXPECT_GE(frame_clock.start_tick, before);
    EXPECT_LE(frame_clock.start_tick, after);
    EXPECT_EQ(0.0f, frame_clock.last_time);
    EXPECT_EQ(0.0f, frame_clock.dt);
    EXPECT_GT(world.pool.count, SAND_RECORDS) << "the scene was built";
    EXPECT_EQ(520, scene.origin_x);
    EXPECT_EQ(240, scene.origin_y);
}

TEST_F(DisplayTest, SetupAt8BitsSetsTheFixedPaletteOnThePrimarySurface) {
    HWND window = scratch_window();
    script->depth = 8;
    script->masks[0] = script->masks[1] = script->masks[2] = 0;
    setup_display(window);

    EXPECT_EQ("DCPFLSBKHA", order());
    EXPECT_EQ(4u, record->palette_caps) << "DDPCAPS_8BIT alone";
    EXPECT_TRUE(record->palette_outer_null);
    EXPECT_TRUE(record->palette_set_is_created);
    EXPECT_TRUE(record->palette_set_on_primary);
    EXPECT_NE(nullptr, display.palette);
    const struct {
        int index;
        BYTE red, green, blue;
    } spots[] = {{0, 0, 0, 0},       {255, 255, 255, 255}, {0xE0, 255, 0, 0},
                 {0x1C, 0, 255, 0},  {0x03, 0, 0, 255},    {0x8B, 145, 72, 255},
                 {0x6D, 109, 109, 85}};
    for (const auto& s : spots) {
        const PALETTEENTRY& e = record->palette_entries[s.index];
        EXPECT_EQ(s.red, e.peRed) << s.index;
        EXPECT_EQ(s.green, e.peGreen) << s.index;
        EXPECT_EQ(s.blue, e.peBlue) << s.index;
    }
    const BYTE levels3[8] = {0, 36, 72, 109, 145, 182, 218, 255};
    const BYTE levels2[4] = {0, 85, 170, 255};
    for (int i = 0; i < 256; ++i) {
        const PALETTEENTRY& e = record->palette_entries[i];
        EXPECT_EQ(levels3[(i >> 5) & 7], e.peRed) << i;
        EXPECT_EQ(levels3[(i >> 2) & 7], e.peGreen) << i;
        EXPECT_EQ(levels2[i & 3], e.peBlue) << i;
        EXPECT_EQ(0, e.peFlags) << i;
        EXPECT_EQ(0, std::memcmp(&e, &display.palette_entries[i], sizeof e)) << i;
    }
    EXPECT_EQ(1, pixel_format.bytes_per_pixel);
    EXPECT_EQ(0xE0u, pixel_format.red_mask);
    EXPECT_EQ(0x1Cu, pixel_format.green_mask);
    EXPECT_EQ(0x03u, pixel_format.blue_mask);
    EXPECT_EQ(0, pixel_format.red_shift);
    EXPECT_EQ(-3, pixel_format.green_shift);
    EXPECT_EQ(-6, pixel_format.blue_shift);
}

TEST_F(DisplayTest, SetupAt16And24BitsTakesTheReportedMasksWithoutPalette) {
    const struct {
        DWORD depth, red, green, blue;
        int bytes, red_shift, green_shift, blue_shift;
    } cases[] = {{16, 0xF800, 0x07E0, 0x001F, 2, 8, 3, -3},
                 {16, 0x7C00, 0x03E0, 0x001F, 2, 7, 2, -3},
                 {24, 0xFF0000, 0xFF00, 0xFF, 3, 16, 8, 0},
                 {32, 0xFF, 0xFF00, 0xFF0000, 4, 0, 8, 16}};
    HWND window = scratch_window();
    for (const auto& c : cases) {
        reset_fake();
        reset_display();
        script->depth = c.depth;
        script->masks[0] = c.red;
        script->masks[1] = c.green;
        script->masks[2] = c.blue;
        setup_display(window);
        EXPECT_EQ("DCPFBKHA", order()) << c.depth;
        EXPECT_EQ(c.bytes, pixel_format.bytes_per_pixel);
        EXPECT_EQ(c.red, pixel_format.red_mask);
        EXPECT_EQ(c.green, pixel_format.green_mask);
        EXPECT_EQ(c.blue, pixel_format.blue_mask);
        EXPECT_EQ(c.red_shift, pixel_format.red_shift);
        EXPECT_EQ(c.green_shift, pixel_format.green_shift);
        EXPECT_EQ(c.blue_shift, pixel_format.blue_shift);
        EXPECT_EQ(nullptr, display.palette);
    }
}

// A set-up that failed leaves no display and nothing else touched: no scene, no layout, no clock.
void expect_no_display_and_nothing_built() {
    EXPECT_EQ(nullptr, display.direct_draw);
    EXPECT_EQ(0, record->other_releases) << "only the DirectDraw object is ever released";
    EXPECT_EQ(0, world.pool.count) << "the scene was built";
    EXPECT_EQ(0, pixel_format.bytes_per_pixel);
    EXPECT_EQ(0u, pixel_format.width);
    EXPECT_EQ(4242u, frame_clock.start_tick);
}

TEST_F(DisplayTest, DepthThatCannotBeDrawnSetsTooFewColors) {
    HWND window = scratch_window();
    for (DWORD depth : {4u, 1u, 15u, 0u, 12u, 64u}) {
        reset_fake();
        reset_display();
        script->depth = depth;
        frame_clock.start_tick = 4242;
        setup_display(window);
        EXPECT_EQ("DCPFR", order()) << depth;
        EXPECT_EQ(1, record->direct_draw_releases);
        EXPECT_EQ(1, display.too_few_colors) << depth;
        expect_no_display_and_nothing_built();
    }
}

TEST_F(DisplayTest, EveryFailingStepAbandonsTheDisplay) {
    const struct {
        int fail;
        DWORD depth;
        const char* order;  // up to the failing call, then the release
    } cases[] = {
        {FAKE_CREATE, 32, "D"},
        {FAKE_COOPERATIVE, 32, "DCR"},
        {FAKE_PRIMARY, 32, "DCPR"},
        {FAKE_PIXEL_FORMAT, 32, "DCPFR"},
        {FAKE_PALETTE, 8, "DCPFLR"},
        {FAKE_SET_PALETTE, 8, "DCPFLSR"},
        {FAKE_BACK, 32, "DCPFBR"},
        {FAKE_BACK, 8, "DCPFLSBR"},
        {FAKE_CLIPPER, 32, "DCPFBKR"},
        {FAKE_CLIPPER_WINDOW, 32, "DCPFBKHR"},
        {FAKE_SET_CLIPPER, 32, "DCPFBKHAR"},
    };
    HWND window = scratch_window();
    for (const auto& c : cases) {
        reset_fake();
        reset_display();
        script->fail = c.fail;
        script->depth = c.depth;
        frame_clock.start_tick = 4242;
        setup_display(window);
        SCOPED_TRACE(c.order);
        EXPECT_EQ(c.order, order());
        EXPECT_EQ(c.fail == FAKE_CREATE ? 0 : 1, record->direct_draw_releases);
        // A failed query of the pixel format is a failed set-up, not a depth of 0.
        EXPECT_EQ(0, display.too_few_colors);
        expect_no_display_and_nothing_built();
    }
}

TEST_F(DisplayTest, SecondSetupWhileDisplayIsPresentDoesNothing) {
    HWND window = scratch_window();
    setup_display(window);
    const int32_t grains = world.pool.count;
    setup_display(window);
    EXPECT_EQ("DCPFBKHA", order());
    EXPECT_EQ(grains, world.pool.count) << "the scene was built twice";
}

TEST_F(DisplayTest, FailedSetupIsNotTriedAgainAndTooFewColorsIsKept) {
    HWND window = scratch_window();
    script->depth = 4;
    setup_display(window);
    ASSERT_EQ(1, display.too_few_colors);
    script->depth = 32;
    script->fail = FAKE_PRIMARY;
    setup_display(window);  // a later failure of another kind does not clear the flag
    EXPECT_EQ(1, display.too_few_colors);
}

// --- the saver procedure -----------------------------------------------------------------------

TEST_F(DisplayTest, CreationCentresTheFrameOnThePrimaryMonitorAndKeepsTheWindowWhole) {
    // The desktop is one 1024 x 768 monitor; the windows stand for the virtual screens of
    // layouts with more. DirectDraw's exclusive mode fits the window to the primary monitor, as
    // the real one does: the window must get its place and size back.
    const struct {
        const char* layout;
        int left, top, width, height;
    } cases[] = {{"alone", 0, 0, 1024, 768},
                 {"800x600 to the right", 0, 0, 1824, 768},
                 {"1280x1024 to the left", -1280, 0, 2304, 1024},
                 {"1920x1080 above", 0, -1080, 1920, 1848}};
    for (const auto& c : cases) {
        reset_fake();
        reset_display();
        reset_saver_view();
        init_world();
        script->fit_window = true;
        HWND window = make_window(c.width, c.height, c.left, c.top);
        ASSERT_NE(nullptr, window);
        SCOPED_TRACE(c.layout);
        EXPECT_EQ(window, saver_view.window);
        RECT rect;
        GetWindowRect(window, &rect);
        EXPECT_EQ(c.left, rect.left);
        EXPECT_EQ(c.top, rect.top);
        EXPECT_EQ(c.left + c.width, rect.right);
        EXPECT_EQ(c.top + c.height, rect.bottom);
        EXPECT_EQ(static_cast<UINT>(c.width), saver_view.client_width);
        EXPECT_EQ(static_cast<UINT>(c.height), saver_view.client_height);
        EXPECT_EQ(192, saver_view.dest_rect.left);
        EXPECT_EQ(144, saver_view.dest_rect.top);
        EXPECT_EQ(832, saver_view.dest_rect.right);
        EXPECT_EQ(624, saver_view.dest_rect.bottom);
        EXPECT_EQ(0, saver_view.source_rect.left);
        EXPECT_EQ(0, saver_view.source_rect.top);
        EXPECT_EQ(640, saver_view.source_rect.right);
        EXPECT_EQ(480, saver_view.source_rect.bottom);
        EXPECT_EQ(window, record->cooperative_window);
        EXPECT_NE(0u, saver_view.timer_id);
        destroy_window();
    }
}

TEST_F(DisplayTest, FramesClearLockDrawUnlockWaitAndPresent) {
    HWND window = make_window(1024, 768);
    ASSERT_NE(nullptr, display.direct_draw);
    pump_messages(300);
    const std::string calls = order();
    // Set-up, the refresh rate for the pacing, then whole frames only.
    ASSERT_EQ(0u, calls.find("DCPFBKHAM")) << calls;
    std::string frames = calls.substr(9);
    while (!frames.empty() && frames.compare(0, 5, "fluwp") == 0) frames.erase(0, 5);
    EXPECT_TRUE(frames.empty() || std::string("fluwp").compare(0, frames.size(), frames) == 0)
        << calls;
    EXPECT_GE(record->calls[FAKE_LOCK], 3);

    EXPECT_TRUE(record->fill_on_back);
    EXPECT_EQ(0, record->fill_rect.left);
    EXPECT_EQ(0, record->fill_rect.top);
    EXPECT_EQ(640, record->fill_rect.right);
    EXPECT_EQ(480, record->fill_rect.bottom);
    EXPECT_TRUE(record->fill_source_null);
    EXPECT_TRUE(record->fill_source_rect_null);
    EXPECT_EQ(0x1000400u, record->fill_flags);
    EXPECT_EQ(100u, record->fill_fx_size);
    EXPECT_EQ(0u, record->fill_color);
    EXPECT_TRUE(record->fill_fx_rest_zero);

    EXPECT_TRUE(record->lock_on_back);
    EXPECT_TRUE(record->lock_rect_null);
    EXPECT_EQ(1u, record->lock_flags);
    EXPECT_EQ(108u, record->lock_desc_size);
    EXPECT_TRUE(record->lock_desc_rest_zero);
    EXPECT_TRUE(record->lock_event_null);
    EXPECT_TRUE(record->unlock_pointer_locked);

    EXPECT_EQ(1u, record->wait_flags);
    EXPECT_EQ(nullptr, record->wait_event);

    EXPECT_TRUE(record->present_on_primary);
    EXPECT_TRUE(record->present_from_back);
    EXPECT_EQ(192, record->present_dest.left);
    EXPECT_EQ(144, record->present_dest.top);
    EXPECT_EQ(832, record->present_dest.right);
    EXPECT_EQ(624, record->present_dest.bottom);
    EXPECT_EQ(0, record->present_source.left);
    EXPECT_EQ(640, record->present_source.right);
    EXPECT_EQ(480, record->present_source.bottom);
    EXPECT_EQ(0x1000000u, record->present_flags);
    EXPECT_TRUE(record->present_fx_null);

    EXPECT_GT(frame_clock.last_time, 0.0f) << "the clock advanced";
    EXPECT_EQ(record->back_pitch, pixel_format.pitch);
    EXPECT_EQ(record->back_pixels, pixel_format.pixels);
    (void)window;
}

TEST_F(DisplayTest, FrameDrawsThroughTheLockedPitchAndLeavesRowSlackAlone) {
    make_window(1024, 768);
    ASSERT_NE(nullptr, display.direct_draw);
    timeKillEvent(saver_view.timer_id);  // frames are sent by hand from here
    pump_messages(20);
    SendMessageA(window_, WM_USER, 0, 0);

    // Every grain of the wall is drawn grey, at y * pitch + x * 4.
    const BYTE* pixels = record->back_pixels;
    const LONG pitch = record->back_pitch;
    int walls = 0;
    for (int i = 0; i < world.pool.count; ++i) {
        const Particle* grain = world.pool.entries[i];
        if (grain->rest != REST_FIXED) continue;
        ++walls;
        uint32_t value;
        std::memcpy(&value, pixels + grain->y * pitch + grain->x * 4, 4);
        ASSERT_EQ(0x606060u, value) << grain->x << "," << grain->y;
    }
    EXPECT_GT(walls, 100);
    for (int y = 0; y < 480; ++y)
        for (int x = 640 * 4; x < pitch; ++x)
            ASSERT_EQ(FAKE_SLACK_BYTE, pixels[y * pitch + x]) << "row " << y;
}

TEST_F(DisplayTest, TimerCallbackPostsOneFrameUntilThatFrameIsPresented) {
    make_window(800, 600);
    ASSERT_NE(nullptr, display.direct_draw);
    timeKillEvent(saver_view.timer_id);
    pump_messages(20);
    saver_view.frame_pending = 0;

    frame_timer_proc(0, 0, 0, 0, 0);
    frame_timer_proc(0, 0, 0, 0, 0);
    frame_timer_proc(0, 0, 0, 0, 0);
    EXPECT_EQ(1, saver_view.frame_pending);
    MSG message;
    int posted = 0;
    while (PeekMessageA(&message, window_, WM_USER, WM_USER, PM_REMOVE)) {
        EXPECT_EQ(0u, message.wParam);
        EXPECT_EQ(0, message.lParam);
        ++posted;
        DispatchMessageA(&message);
    }
    EXPECT_EQ(1, posted);
    EXPECT_EQ(0, saver_view.frame_pending) << "the presented frame clears the flag";
    frame_timer_proc(0, 0, 0, 0, 0);
    EXPECT_EQ(1, saver_view.frame_pending);
    EXPECT_TRUE(PeekMessageA(&message, window_, WM_USER, WM_USER, PM_REMOVE));
}

TEST_F(DisplayTest, FailedLockStillClearsWaitsAndPresentsButNeitherDrawsNorAdvances) {
    make_window(1024, 768);
    ASSERT_NE(nullptr, display.direct_draw);
    timeKillEvent(saver_view.timer_id);
    pump_messages(20);
    SendMessageA(window_, WM_USER, 0, 0);  // one good frame draws the wall
    const float last_time = frame_clock.last_time;
    const int locks = record->calls[FAKE_LOCK];

    script->fail = FAKE_LOCK;
    record->length = 0;
    saver_view.frame_pending = 1;
    Sleep(20);
    SendMessageA(window_, WM_USER, 0, 0);
    EXPECT_EQ("flwp", order());
    EXPECT_EQ(0, saver_view.frame_pending);
    EXPECT_EQ(last_time, frame_clock.last_time) << "the clock advanced";
    EXPECT_EQ(locks + 1, record->calls[FAKE_LOCK]);
    // The clear alone reached the surface: the wall is black again.
    const Particle* wall = &scene.scene_particles[SAND_RECORDS];
    ASSERT_EQ(REST_FIXED, wall->rest);
    uint32_t value;
    std::memcpy(&value, record->back_pixels + wall->y * record->back_pitch + wall->x * 4, 4);
    EXPECT_EQ(0u, value);
}

TEST_F(DisplayTest, WithoutDisplayNoTimerRunsAndFrameMessagesDoNothing) {
    script->fail = FAKE_BACK;
    make_window(1024, 768);
    EXPECT_EQ(nullptr, display.direct_draw);
    EXPECT_EQ(0u, saver_view.timer_id);
    pump_messages(100);
    EXPECT_EQ(std::string::npos, order().find('f')) << order();
    EXPECT_EQ(std::string::npos, order().find('M')) << order();

    saver_view.frame_pending = 1;
    SendMessageA(window_, WM_USER, 0, 0);
    EXPECT_EQ(1, saver_view.frame_pending) << "a frame without display leaves the flag";
    EXPECT_EQ(std::string::npos, order().find('f'));
}

// Timer calls are written into the stand-in's call order from here on.
void log_timer_calls() {
    timer_spy.log = record->order;
    timer_spy.log_length = &record->length;
    timer_spy.log_capacity = static_cast<int>(sizeof record->order);
}

void clear_order() {
    record->length = 0;
    record->order[0] = '\0';
}

std::string order_without_refresh_query() {
    std::string calls = order();
    calls.erase(std::remove(calls.begin(), calls.end(), 'M'), calls.end());
    return calls;
}

TEST_F(DisplayTest, TimerRunsAtTheFinestPeriodAndGoesBeforeTheDirectDrawObject) {
    TIMECAPS caps = {};
    ASSERT_EQ(static_cast<MMRESULT>(TIMERR_NOERROR), timeGetDevCaps(&caps, sizeof caps));
    log_timer_calls();
    make_window(1024, 768);
    ASSERT_NE(nullptr, display.direct_draw);
    // Set-up first, then the period raised and the periodic timer started.
    EXPECT_EQ("DCPFBKHAgbs", order_without_refresh_query());
    EXPECT_EQ(caps.wPeriodMin, timer_spy.begin_period);
    EXPECT_EQ(caps.wPeriodMin, timer_spy.set_delay);
    EXPECT_EQ(caps.wPeriodMin, timer_spy.set_resolution);
    EXPECT_EQ(&frame_timer_proc, timer_spy.set_callback);
    EXPECT_EQ(0u, timer_spy.set_user);
    EXPECT_EQ(static_cast<UINT>(TIME_PERIODIC), timer_spy.set_flags);
    ASSERT_NE(0u, timer_spy.set_result);
    EXPECT_EQ(timer_spy.set_result, saver_view.timer_id);

    pump_messages(50);
    clear_order();
    const UINT timer = saver_view.timer_id;
    destroy_window();
    // Killed and its period ended before the release: no frame can follow the display.
    EXPECT_EQ("kgeR", order());
    EXPECT_EQ(timer, timer_spy.killed_id);
    EXPECT_EQ(caps.wPeriodMin, timer_spy.end_period);
    EXPECT_EQ(nullptr, display.direct_draw);
    EXPECT_EQ(1, record->direct_draw_releases);
    EXPECT_EQ(0, record->other_releases);
    EXPECT_EQ(timer, saver_view.timer_id) << "timer_id keeps its value";
    // A timer still running would set the flag again within a few milliseconds.
    saver_view.frame_pending = 0;
    Sleep(50);
    EXPECT_EQ(0, saver_view.frame_pending);
}

TEST_F(DisplayTest, TimerThatCannotStartPostsNothingAndIsNotKilled) {
    log_timer_calls();
    timer_spy.fail_set_event = true;
    make_window(1024, 768);
    ASSERT_NE(nullptr, display.direct_draw);
    EXPECT_EQ(0u, saver_view.timer_id);
    pump_messages(50);
    EXPECT_EQ(std::string::npos, order().find('f')) << "a frame without a timer";
    clear_order();
    destroy_window();
    EXPECT_EQ(std::string::npos, order().find('k'));
    EXPECT_EQ('R', order().back());
}

// The caller's state at each call of one frame.
struct FrameMoment {
    char letter;
    LONG pending;
    float last_time;
    double orbit_angle;
    uint8_t* pixels;
};
FrameMoment moments[16];
int moment_count;

void __cdecl note_moment(char letter) {
    if (moment_count < 16)
        moments[moment_count++] = {letter, saver_view.frame_pending, frame_clock.last_time,
                                   scene.orbit_angle, pixel_format.pixels};
}

TEST_F(DisplayTest, FrameAdvancesTheClockInsideTheLockAndClearsThePendingFlagLast) {
    make_window(1024, 768);
    ASSERT_NE(nullptr, display.direct_draw);
    timeKillEvent(saver_view.timer_id);
    MSG message;  // a frame the timer posted already is dropped: the first frame is the test's
    while (PeekMessageA(&message, window_, WM_USER, WM_USER, PM_REMOVE)) {
    }
    ASSERT_EQ(0, record->calls[FAKE_LOCK]);
    // Two seconds since set-up read its tick: the first frame's dt covers all of them.
    frame_clock.start_tick = GetTickCount() - 2000;
    saver_view.frame_pending = 1;  // as the timer leaves it when it posts
    moment_count = 0;
    script->on_call = note_moment;
    SendMessageA(window_, WM_USER, 0, 0);
    script->on_call = nullptr;

    std::string letters;
    for (int i = 0; i < moment_count; ++i) letters += moments[i].letter;
    ASSERT_EQ("fluwp", letters);
    const FrameMoment& clear = moments[0];
    const FrameMoment& lock = moments[1];
    const FrameMoment& unlock = moments[2];
    EXPECT_EQ(nullptr, clear.pixels) << "the memory is known only once the lock gives it";
    EXPECT_EQ(0.0f, lock.last_time) << "the clock moved before the lock";
    EXPECT_EQ(record->back_pixels, unlock.pixels);
    EXPECT_NEAR(2.0f, unlock.last_time, 0.25f) << "the clock did not advance inside the lock";
    EXPECT_NEAR(2.0f, frame_clock.dt, 0.25f);
    // The update ran inside the lock with the new dt: 2 degrees a second of it.
    EXPECT_DOUBLE_EQ(2.0 * static_cast<double>(frame_clock.dt),
                     unlock.orbit_angle - lock.orbit_angle);
    EXPECT_EQ(1, moments[3].pending) << "cleared before the wait";
    EXPECT_EQ(1, moments[4].pending) << "cleared before the present";
    EXPECT_EQ(0, saver_view.frame_pending);
}

// What the saver procedure writes with TextOutW (its import slot points here).
struct WrittenLine {
    int calls;
    int x, y;
    std::wstring text;
};
WrittenLine text_out;
decltype(&TextOutW) real_text_out;

BOOL WINAPI spy_text_out(HDC dc, int x, int y, LPCWSTR text, int length) {
    ++text_out.calls;
    text_out.x = x;
    text_out.y = y;
    text_out.text.assign(text, static_cast<size_t>(length));
    return real_text_out(dc, x, y, text, length);
}

// A line as Windows' own Shift-JIS table decodes it: the 22 bytes a Japanese system showed.
std::wstring from_shift_jis(const std::string& bytes) {
    wchar_t text[64];
    const int length = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(),
                                           static_cast<int>(bytes.size()), text, 64);
    return std::wstring(text, static_cast<size_t>(length > 0 ? length : 0));
}

TEST_F(DisplayTest, PaintingWritesTheErrorLineOnlyWithoutDisplay) {
    ASSERT_TRUE(redirect_import("gdi32.dll", "TextOutW", &spy_text_out, real_text_out));
    const std::string setup_failed_bytes =
        "DirectDraw" "\x8f\x89\x8a\xfa\x89\xbb\x83\x47\x83\x89\x81\x5b";
    const std::string too_few_colors_bytes =
        "\x95\x4b\x97\x76\x95\x5c\x8e\xa6\x90\x46\x81\x69" "256" "\x88\xc8\x8f\xe3\x81\x6a" " ";
    ASSERT_EQ(22u, setup_failed_bytes.size());
    ASSERT_EQ(22u, too_few_colors_bytes.size());
    const std::wstring setup_failed = from_shift_jis(setup_failed_bytes);
    const std::wstring too_few_colors = from_shift_jis(too_few_colors_bytes);
    ASSERT_EQ(L"DirectDraw\x521D\x671F\x5316\x30A8\x30E9\x30FC", setup_failed);  // 初期化エラー
    const struct {
        int fail;
        DWORD depth;
        int width, height;
        const std::wstring* line;  // null: nothing is written
        int x, y;
        int left, top;
    } cases[] = {{FAKE_NONE, 32, 1024, 768, nullptr, 432, 384, 0, 0},
                 {FAKE_BACK, 32, 1024, 768, &setup_failed, 432, 384, 0, 0},
                 {FAKE_CREATE, 32, 1824, 768, &setup_failed, 432, 384, 0, 0},
                 // Monitors left of and above the 1024 x 768 primary: the line stays on it.
                 {FAKE_BACK, 32, 1324, 968, &setup_failed, 732, 584, -300, -200},
                 {FAKE_NONE, 4, 1024, 1368, &too_few_colors, 432, 984, 0, -600}};
    for (const auto& c : cases) {
        reset_fake();
        reset_display();
        script->fail = c.fail;
        script->depth = c.depth;
        script->fit_window = true;
        make_window(c.width, c.height, c.left, c.top);
        timeKillEvent(saver_view.timer_id);
        text_out = WrittenLine{};
        SendMessageA(window_, WM_PAINT, 0, 0);
        SCOPED_TRACE(testing::Message() << c.left << "," << c.top << " " << c.width);
        if (c.line == nullptr) {
            EXPECT_EQ(0, text_out.calls) << "a line written over a running display";
        } else {
            EXPECT_EQ(1, text_out.calls);
            EXPECT_EQ(c.x, text_out.x);
            EXPECT_EQ(c.y, text_out.y);
            EXPECT_EQ(*c.line, text_out.text);
        }
        destroy_window();
    }
}

TEST_F(DisplayTest, RefreshRateForPacingComesFromTheDisplay) {
    const struct {
        int fail;
        DWORD monitor_hz;
        int64_t blank_us;
        int32_t blanks_per_frame;
    } cases[] = {{FAKE_NONE, 75, 13333, 1},
                 {FAKE_NONE, 60, 16666, 1},
                 {FAKE_NONE, 144, 6944, 2},
                 {FAKE_NONE, 540, 1851, 9},
                 {FAKE_NONE, 5000, 1000, 17},  // clamped, not replaced
                 {FAKE_MONITOR, 75, 16666, 1},  // then GetDeviceCaps(VREFRESH): Wine says 60
                 {FAKE_NONE, 1, 16666, 1},
                 {FAKE_NONE, 0, 16666, 1}};
    for (const auto& c : cases) {
        reset_fake();
        reset_display();
        script->monitor_hz = c.monitor_hz;
        script->fail = c.fail;
        make_window(1024, 768);
        ASSERT_NE(nullptr, display.direct_draw);
        EXPECT_EQ(c.blank_us, saver_view.pacing.blank_us) << c.monitor_hz;
        EXPECT_EQ(c.blanks_per_frame, saver_view.pacing.blanks_per_frame) << c.monitor_hz;
        destroy_window();
    }
}

TEST_F(DisplayTest, FramesAreHeldBeforeTheWaitNotBetweenItAndThePresent) {
    // The stand-in's wait returns at once, as Wine's does: after a few frames each one is held
    // until due, and the hold comes before the wait, so that the present follows the blank.
    make_window(1024, 768);
    ASSERT_NE(nullptr, display.direct_draw);
    pump_messages(500);
    EXPECT_TRUE(waits_do_not_wait(saver_view.pacing));
    EXPECT_GE(record->calls[FAKE_LOCK], 20);
    EXPECT_LE(record->calls[FAKE_LOCK], 40) << "one frame per 60 Hz refresh, not per 1 ms tick";
    EXPECT_GE(record->longest_unlock_to_wait_us, 10000);
    EXPECT_LT(record->longest_wait_to_present_us, 2000);
}

TEST_F(DisplayTest, PreviewLoadsTheBitmapAndNeverTouchesDirectDrawOrTheTimer) {
    // The resource itself: 160 x 120 at 8 bits per pixel.
    const LPCSTR BITMAP_TYPE = MAKEINTRESOURCEA(2);  // RT_BITMAP
    HRSRC resource = FindResourceA(host.instance, MAKEINTRESOURCEA(103), BITMAP_TYPE);
    ASSERT_NE(nullptr, resource);
    const auto* header = static_cast<const BITMAPINFOHEADER*>(
        LockResource(LoadResource(host.instance, resource)));
    ASSERT_NE(nullptr, header);
    EXPECT_EQ(160, header->biWidth);
    EXPECT_EQ(120, header->biHeight < 0 ? -header->biHeight : header->biHeight);
    EXPECT_EQ(8, header->biBitCount);

    log_timer_calls();
    host.preview = 1;
    parent_ = CreateWindowExA(0, "STATIC", "parent", WS_POPUP, 0, 0, 152, 112, nullptr, nullptr,
                              host.instance, nullptr);
    window_ = CreateWindowExA(0, WINDOW_CLASS, "Preview", WS_CHILD | WS_VISIBLE, 0, 0, 152, 112,
                              parent_, nullptr, host.instance, nullptr);
    ASSERT_NE(nullptr, window_);
    EXPECT_EQ(152u, saver_view.client_width);
    EXPECT_EQ(112u, saver_view.client_height);
    ASSERT_NE(nullptr, saver_view.preview_bitmap);
    EXPECT_EQ(160, saver_view.bitmap_width);
    EXPECT_EQ(120, saver_view.bitmap_height);
    EXPECT_EQ(0u, saver_view.timer_id);
    pump_messages(50);
    EXPECT_EQ("", order()) << "DirectDraw or the timer in a preview";

    HBITMAP bitmap = saver_view.preview_bitmap;
    BITMAP described;
    EXPECT_EQ(static_cast<int>(sizeof described), GetObjectA(bitmap, sizeof described, &described));
    destroy_window();
    EXPECT_EQ("", order());
    EXPECT_EQ(0, GetObjectA(bitmap, sizeof described, &described)) << "the bitmap was not deleted";
}

}  // namespace
