// Runs the saver procedure for half a second on the real desktop (Wine's DirectDraw at the X
// server's depth) and prints, one "key=value" a line, what the screenshot checks need: whether
// set-up succeeded, the pixel layout, whether the palette on the primary surface is the fixed
// one, what the outline grains became in the off-screen surface, and where the scene puts things
// in the 640 x 480 frame.
//
// With "frames N STOP_FILE" the clock stands still (GetTickCount gives one value, so every frame's
// dt is 0, as the renderer's --dt 0) and no timer runs: the probe sends exactly N frame messages,
// prints frames=N and keeps the last frame on the screen until STOP_FILE exists (the script's
// screenshot is taken), at most 30 seconds.
#include <windows.h>
#include <ddraw.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "display_import_spy.h"
#include "display_timer_spy.h"

#include "direct_draw.h"
#include "saver_procedure.h"
#include "host_state.h"
#include "pixel_format.h"
#include "background.h"
#include "scene.h"
#include "vessel_picture.h"
#include "world.h"

static PALETTEENTRY entries[256];

static const char* primary_palette() {
    if (display.primary_surface == nullptr) return "none";
    IDirectDrawPalette* palette = nullptr;
    if (display.primary_surface->GetPalette(&palette) != DD_OK || palette == nullptr) return "none";
    PALETTEENTRY fixed[256];
    fill_fixed_palette(fixed);
    const HRESULT read = palette->GetEntries(0, 0, 256, entries);
    palette->Release();
    if (read != DD_OK) return "unreadable";
    for (int i = 0; i < 256; ++i)
        if (entries[i].peRed != fixed[i].peRed || entries[i].peGreen != fixed[i].peGreen ||
            entries[i].peBlue != fixed[i].peBlue)
            return "different";
    return "fixed";
}

// The wall's grain count, centroid (hundredths of a cell) and box, relative to the origin.
static void print_wall() {
    int count = 0;
    long sum_x = 0, sum_y = 0;
    int left = 640, top = 480, right = -1, bottom = -1;
    for (int i = 0; i < world.pool.count; ++i) {
        const Particle* grain = world.pool.entries[i];
        if (grain->rest != REST_FIXED) continue;
        const int x = grain->x - scene.origin_x, y = grain->y - scene.origin_y;
        ++count;
        sum_x += x;
        sum_y += y;
        if (x < left) left = x;
        if (x > right) right = x;
        if (y < top) top = y;
        if (y > bottom) bottom = y;
    }
    std::printf("origin=%d,%d\n", scene.origin_x, scene.origin_y);
    std::printf("wall=%d\n", count);
    if (count > 0) std::printf("wall_centroid=%ld,%ld\n", sum_x * 100 / count, sum_y * 100 / count);
    std::printf("wall_box=%d,%d,%d,%d\n", left, top, right, bottom);
}

// How many outline grains the last frame left in the off-screen surface as the packed grey, and
// at 8 bits the primary palette's colour for that value.
static void print_drawn_wall() {
    DDSURFACEDESC locked = {};
    locked.dwSize = sizeof locked;
    if (display.back_surface->Lock(nullptr, &locked, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK) {
        std::printf("wall_drawn=unlocked\n");
        return;
    }
    const uint32_t grey = pack_color(pixel_format, 96, 96, 96);
    const int bytes = pixel_format.bytes_per_pixel;
    int drawn = 0;
    for (int i = 0; i < world.pool.count; ++i) {
        const Particle* grain = world.pool.entries[i];
        if (grain->rest != REST_FIXED) continue;
        uint32_t value = 0;
        std::memcpy(&value, static_cast<BYTE*>(locked.lpSurface) + grain->y * locked.lPitch + grain->x * bytes,
                    bytes);
        if (value == grey) ++drawn;
    }
    display.back_surface->Unlock(locked.lpSurface);
    std::printf("wall_drawn=%d\n", drawn);
    if (bytes == 1)
        std::printf("wall_color=%d,%d,%d\n", entries[grey].peRed, entries[grey].peGreen, entries[grey].peBlue);
}

// The box of the vessel picture's points, relative to the origin.
static void print_picture() {
    int left = 255, top = 255, right = 0, bottom = 0;
    for (int i = 0; i < vessel_picture.layer_count; ++i) {
        const ShapeLayer& layer = vessel_picture.layers[i];
        for (int j = 0; j < layer.point_count; ++j) {
            if (layer.points[j].x < left) left = layer.points[j].x;
            if (layer.points[j].x > right) right = layer.points[j].x;
            if (layer.points[j].y < top) top = layer.points[j].y;
            if (layer.points[j].y > bottom) bottom = layer.points[j].y;
        }
    }
    const int x = scene.picture_x - scene.origin_x, y = scene.picture_y - scene.origin_y;
    std::printf("picture_box=%d,%d,%d,%d\n", x + left, y + top, x + right, y + bottom);
}

// Where the background can land in the frame: its area, pushed by the largest wave entries.
static void print_background() {
    int most_x = 0, most_y = 0;
    for (int i = 0; i < 256; ++i) {
        const int x = background.row_wave[i] < 0 ? -background.row_wave[i] : background.row_wave[i];
        const int y = background.column_wave[i] < 0 ? -background.column_wave[i] : background.column_wave[i];
        if (x > most_x) most_x = x;
        if (y > most_y) most_y = y;
    }
    const int left = WORLD_WIDTH / 2 - background.centre_x, top = WORLD_HEIGHT / 2 - background.centre_y;
    std::printf("background_box=%d,%d,%d,%d\n", left - most_x, top - most_y,
                left + background.area_width + most_x, top + background.area_height + most_y);
    std::printf("background_colors=");
    for (int i = 0; i < 256; ++i) {
        const BackgroundColor& c = background.colors[i];
        std::printf("%s%d,%d,%d", i ? " " : "", c.red, c.green, c.blue);
    }
    std::printf("\n");
}

// Closes posted by the dismissal rules are dropped: the probe ends the window itself.
static LRESULT CALLBACK probe_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_CLOSE) return 0;
    return saver_procedure(window, message, wparam, lparam);
}

static decltype(&GetTickCount) real_tick_count;  // the slot's original, unused while frozen
static DWORD WINAPI frozen_tick_count() { return 0x10000; }

static void dispatch_waiting() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

// The frozen clock and the missing timer, set before the window's creation starts the display.
static bool freeze_clock() {
    if (!install_timer_spy()) return false;
    timer_spy.fail_set_event = true;
    return redirect_import("kernel32.dll", "GetTickCount", &frozen_tick_count, real_tick_count);
}

// Sent, not posted: each frame is done before the next is asked for, as with the timer.
static void run_frames(HWND window, int frames, const char* stop_file) {
    for (int i = 0; i < frames; ++i) {
        dispatch_waiting();
        SendMessageA(window, WM_USER, 0, 0);
    }
    std::printf("frames=%d\n", frames);
    std::fflush(stdout);
    for (int waited = 0; waited < 3000 && GetFileAttributesA(stop_file) == INVALID_FILE_ATTRIBUTES;
         ++waited) {
        dispatch_waiting();
        Sleep(10);
    }
}

int main(int argc, char** argv) {
    const bool frozen = argc == 4 && std::strcmp(argv[1], "frames") == 0;
    if (frozen && !freeze_clock()) {
        std::printf("frozen_clock=unavailable\n");
        return 1;
    }
    host.instance = GetModuleHandleA(nullptr);
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = probe_procedure;
    window_class.hInstance = host.instance;
    window_class.lpszClassName = "DisplayProbe";
    RegisterClassA(&window_class);
    // Frozen, the window is shown (as the saver's is) so that the screenshot finds the frame.
    HWND window = CreateWindowExA(WS_EX_TOPMOST, "DisplayProbe", "Display probe",
                                  frozen ? WS_POPUP | WS_VISIBLE : WS_POPUP, 0, 0,
                                  GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                  nullptr, nullptr, host.instance, nullptr);
    if (frozen) {
        run_frames(window, std::atoi(argv[2]), argv[3]);
    } else {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < 500) {
            dispatch_waiting();
            Sleep(1);
        }
    }

    const bool present = display.direct_draw != nullptr;
    std::printf("direct_draw=%d\n", present);
    HDC screen = GetDC(nullptr);
    std::printf("dpi=%d\n", GetDeviceCaps(screen, LOGPIXELSX));  // the desktop's, as Windows reports it
    ReleaseDC(nullptr, screen);
    std::printf("too_few_colors=%d\n", display.too_few_colors);
    std::printf("layout=%d,%x,%x,%x\n", pixel_format.bytes_per_pixel, pixel_format.red_mask,
                pixel_format.green_mask, pixel_format.blue_mask);
    std::printf("palette=%s\n", present ? primary_palette() : "none");
    if (present) print_drawn_wall();
    print_wall();
    print_picture();
    std::printf("sand_colors=");
    for (int group = 0; group < SAND_GROUPS; ++group) {
        const Particle& grain = scene.scene_particles[group * SAND_PER_GROUP];
        std::printf("%s%d,%d,%d", group ? " " : "", grain.red, grain.green, grain.blue);
    }
    std::printf("\n");
    print_background();

    DestroyWindow(window);  // the saver procedure kills its timer and releases DirectDraw
    return present ? 0 : 1;
}
