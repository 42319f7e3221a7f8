// The saver procedure: in a preview the still picture stretched over the window; full screen the
// DirectDraw display, the multimedia timer and one frame per tick, or one line of text when the
// display could not be set up. Every message ends in dismissal_proc, whatever was done here.
#include "saver_procedure.h"

#include <ddraw.h>

#include "animation.h"
#include "direct_draw.h"
#include "dismissal.h"
#include "frame_fit.h"
#include "frame_placement.h"
#include "frame_setting.h"
#include "host_state.h"
#include "japanese_text.h"
#include "resource_ids.h"

static_assert(sizeof(DDBLTFX) == 100, "blit effects of 100 bytes");
static_assert(sizeof(BITMAP) == 24, "bitmap description of 24 bytes");

SaverView saver_view;

void reset_saver_view() {
    saver_view.window = nullptr;
    saver_view.client_width = 0;
    saver_view.client_height = 0;
    saver_view.source_rect = RECT{};
    saver_view.dest_rect = RECT{};
    saver_view.factor = 0;
    saver_view.text_x = 0;
    saver_view.text_y = 0;
    saver_view.preview_bitmap = nullptr;
    saver_view.bitmap_width = 0;
    saver_view.bitmap_height = 0;
    saver_view.timer_id = 0;
    saver_view.frame_pending = 0;
    saver_view.pacing = FramePacing{};
}

// A monotonic clock in microseconds, for the pacing alone (the animation runs on GetTickCount).
static int64_t clock_us() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    const int64_t whole = count.QuadPart / frequency.QuadPart;
    const int64_t part = count.QuadPart % frequency.QuadPart;
    return whole * 1000000 + part * 1000000 / frequency.QuadPart;
}

// The refresh rate the display reports: DirectDraw's monitor frequency, else the device's
// vertical refresh, else none (0); the pacing clamps it into the plausible range.
static uint32_t reported_refresh_rate(HWND window) {
    DWORD hz = 0;
    if (display.direct_draw->GetMonitorFrequency(&hz) == DD_OK && hz > 1) return hz;
    HDC dc = GetDC(window);
    const int vrefresh = dc != nullptr ? GetDeviceCaps(dc, VREFRESH) : 0;
    if (dc != nullptr) ReleaseDC(window, dc);
    return vrefresh > 0 ? static_cast<uint32_t>(vrefresh) : 0;
}

static void start_frame_timer(HWND window) {
    TIMECAPS caps = {};
    timeGetDevCaps(&caps, sizeof caps);
    timeBeginPeriod(caps.wPeriodMin);
    start_frame_pacing(saver_view.pacing, reported_refresh_rate(window));
    saver_view.timer_id = timeSetEvent(caps.wPeriodMin, caps.wPeriodMin, frame_timer_proc, 0,
                                       TIME_PERIODIC);
}

// The frame, or the error line in its place, in the middle of the primary monitor, at the
// factor the setting and the monitor's DPI ask for (frame_placement.h).
static void place_on_primary(HWND window) {
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    const FramePlacement placed = frame_on_primary(
        GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), origin.x, origin.y,
        frame_scale_request(read_frame_size(), primary_monitor_dpi()));
    saver_view.factor = placed.factor;
    saver_view.dest_rect =
        RECT{placed.frame.left, placed.frame.top, placed.frame.right, placed.frame.bottom};
    saver_view.text_x = placed.text_x;
    saver_view.text_y = placed.text_y;
}

static void on_create(HWND window) {
    RECT client = {};
    GetClientRect(window, &client);
    saver_view.window = window;
    saver_view.client_width = static_cast<UINT>(client.right - client.left);
    saver_view.client_height = static_cast<UINT>(client.bottom - client.top);
    saver_view.source_rect = RECT{0, 0, FRAME_WIDTH, FRAME_HEIGHT};
    saver_view.factor = 1;

    if (host.preview) {
        HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongA(window, GWL_HINSTANCE));
        saver_view.preview_bitmap = LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_PREVIEW));
        BITMAP bitmap = {};
        if (saver_view.preview_bitmap != nullptr &&
            GetObjectA(saver_view.preview_bitmap, sizeof bitmap, &bitmap) == sizeof bitmap) {
            saver_view.bitmap_width = bitmap.bmWidth;
            saver_view.bitmap_height = bitmap.bmHeight;
        }
        InvalidateRect(window, nullptr, FALSE);
        return;
    }

    // DirectDraw's exclusive mode fits the window to the primary monitor, where the other
    // monitors would go on showing the desktop and take input past the saver: the window gets
    // back the whole virtual screen it was made to cover, whether set-up succeeded or not.
    RECT covered = {};
    GetWindowRect(window, &covered);
    setup_display(window);
    RECT fitted = {};
    GetWindowRect(window, &fitted);
    if (!EqualRect(&covered, &fitted))
        SetWindowPos(window, nullptr, covered.left, covered.top, covered.right - covered.left,
                     covered.bottom - covered.top, SWP_NOZORDER | SWP_NOACTIVATE);
    place_on_primary(window);
    if (display.direct_draw != nullptr) start_frame_timer(window);
}

static void on_destroy() {
    if (host.preview) {
        if (saver_view.preview_bitmap != nullptr) DeleteObject(saver_view.preview_bitmap);
        return;
    }
    // The timer goes first: no frame may be posted once the display is gone.
    if (saver_view.timer_id != 0) {
        timeKillEvent(saver_view.timer_id);
        TIMECAPS caps = {};
        timeGetDevCaps(&caps, sizeof caps);
        timeEndPeriod(caps.wPeriodMin);
    }
    if (display.direct_draw != nullptr) {
        display.direct_draw->Release();
        display.direct_draw = nullptr;
    }
}

// Without a bitmap (a damaged resource) the window keeps its black background.
static void paint_preview(HDC dc) {
    if (saver_view.preview_bitmap == nullptr) return;
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, saver_view.preview_bitmap);
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, 0, 0, static_cast<int>(saver_view.client_width),
               static_cast<int>(saver_view.client_height), memory, 0, 0, saver_view.bitmap_width,
               saver_view.bitmap_height, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
}

static void paint_error_line(HDC dc) {
    const wchar_t* text = display.too_few_colors ? TOO_FEW_COLORS_TEXT : SETUP_FAILED_TEXT;
    text_out_japanese(dc, saver_view.text_x, saver_view.text_y, text);
}

static void on_paint(HWND window) {
    if (display.direct_draw != nullptr) return;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (host.preview) paint_preview(dc);
    else paint_error_line(dc);
    EndPaint(window, &paint);
}

// Holds the frame where the pacing says so, before the wait, so that it is still presented on a
// blank; then waits for the vertical blank, again as long as the frame's blank is still ahead
// (see frame_pacing.h).
static void wait_for_refresh() {
    const uint32_t hold_ms = frame_hold_ms(saver_view.pacing, clock_us());
    if (hold_ms > 0) Sleep(hold_ms);
    for (bool again = true; again;) {
        const int64_t wait_start = clock_us();
        display.direct_draw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
        again = frame_waited(saver_view.pacing, wait_start, clock_us());
    }
}

// The enlarged frame is written straight into its rectangle of the primary surface, every pixel
// an exact block: no stretched blit that a driver might filter, and one copy of the large picture
// rather than two (into a surface of its size, then onto the screen; under Wine at twice the size
// that cost 21-27 % of a core against 18-20 %). Written just after the blank and faster than the
// display scans, it stays ahead of the beam.
static void present_enlarged() {
    DDSURFACEDESC frame = {};
    frame.dwSize = sizeof frame;
    if (display.back_surface->Lock(nullptr, &frame, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) !=
        DD_OK)
        return;
    DDSURFACEDESC screen = {};
    screen.dwSize = sizeof screen;
    if (display.primary_surface->Lock(&saver_view.dest_rect, &screen,
                                      DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr) == DD_OK) {
        enlarge_frame(static_cast<const uint8_t*>(frame.lpSurface), frame.lPitch,
                      display.bytes_per_pixel, saver_view.factor,
                      static_cast<uint8_t*>(screen.lpSurface), screen.lPitch);
        display.primary_surface->Unlock(screen.lpSurface);
    }
    display.back_surface->Unlock(frame.lpSurface);
}

// One frame: clear, lock, advance the clock, draw, unlock, wait, present (enlarged where the
// frame is). Only the lock's status matters; a failing clear or present leaves this frame
// incomplete and the next one tries again.
static void run_frame() {
    DDBLTFX fill = {};
    fill.dwSize = sizeof fill;
    fill.dwFillColor = frame_fill_color();
    display.back_surface->Blt(&saver_view.source_rect, nullptr, nullptr,
                              DDBLT_COLORFILL | DDBLT_WAIT, &fill);

    DDSURFACEDESC locked = {};
    locked.dwSize = sizeof locked;
    if (display.back_surface->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr) == DD_OK) {
        run_animation_frame(static_cast<uint8_t*>(locked.lpSurface), locked.lPitch,
                            GetTickCount());
        display.back_surface->Unlock(locked.lpSurface);
    }

    wait_for_refresh();
    frame_presented(saver_view.pacing, clock_us());
    if (saver_view.factor > 1)
        present_enlarged();
    else
        display.primary_surface->Blt(&saver_view.dest_rect, display.back_surface,
                                     &saver_view.source_rect, DDBLT_WAIT, nullptr);
    saver_view.frame_pending = 0;
}

LRESULT saver_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE: on_create(window); break;
    case WM_DESTROY: on_destroy(); break;
    case WM_PAINT: on_paint(window); break;
    case WM_USER:
        if (display.direct_draw != nullptr) run_frame();
        break;
    default: break;
    }
    return dismissal_proc(window, message, wparam, lparam);
}

// Runs on the multimedia timer's thread. The flag is set before the post, so the frame message
// never finds it clear, and at most one frame is queued or running at a time.
void CALLBACK frame_timer_proc(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
    if (saver_view.frame_pending != 0) return;
    saver_view.frame_pending = 1;
    PostMessageA(saver_view.window, WM_USER, 0, 0);
}
