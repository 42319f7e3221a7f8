// The scripted stand-in for ddraw.dll (see display_fake_ddraw.h). One DirectDraw object, one
// primary and one off-screen surface, one palette and one clipper, all static; the off-screen
// surface has real memory, with FAKE_ROW_SLACK bytes past each row, so that a frame can draw.
//
// Letters of the call order: D DirectDrawCreate, C SetCooperativeLevel, P primary surface,
// F GetPixelFormat, L CreatePalette, S SetPalette, B off-screen surface, K CreateClipper,
// H SetHWnd, A SetClipper, M GetMonitorFrequency, R Release of the DirectDraw object, r any
// other Release, f colour fill, l Lock, u Unlock, w WaitForVerticalBlank, p present (copy blit).
#include "display_fake_ddraw.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

static FakeScript script;
static FakeRecord record;

constexpr int SURFACE_WIDTH = 640;
constexpr int SURFACE_HEIGHT = 480;
static BYTE back_memory[(SURFACE_WIDTH * 4 + FAKE_ROW_SLACK) * SURFACE_HEIGHT];

static void note(char letter) {
    if (record.length < static_cast<int>(sizeof record.order) - 1) {
        record.order[record.length++] = letter;
        record.order[record.length] = '\0';
    }
    if (script.on_call != nullptr) script.on_call(letter);
}

// Counts the call and tells whether the script makes it fail.
static bool fails(FakeCall call) {
    ++record.calls[call];
    return script.fail == call;
}

static bool all_zero(const void* from, size_t bytes) {
    const BYTE* p = static_cast<const BYTE*>(from);
    for (size_t i = 0; i < bytes; ++i)
        if (p[i] != 0) return false;
    return true;
}

static int bytes_per_pixel() { return static_cast<int>(script.depth / 8); }
static LONG back_pitch() { return SURFACE_WIDTH * bytes_per_pixel() + FAKE_ROW_SLACK; }

static LARGE_INTEGER clock_start;
static LARGE_INTEGER clock_frequency;

// Microseconds since the stand-in was loaded.
static LONGLONG clock_us() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (now.QuadPart - clock_start.QuadPart) * 1000000 / clock_frequency.QuadPart;
}

// The frame's timeline: the end of its drawing, its waits, its present.
static LONGLONG ready_us = -1;      // the end of the frame's drawing
static bool waiting = false;        // the frame's first wait has begun
static LONGLONG wait_end_us = -1;   // -1 until a wait has ended
static LONGLONG last_blank = -1;    // the blank the last wait ended on
static FILE* presents_log;

// --- palette and clipper -----------------------------------------------------------------------

struct FakePalette : IDirectDrawPalette {
    STDMETHOD_(HRESULT, QueryInterface)(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { note('r'); ++record.other_releases; return 1; }
    STDMETHOD(GetCaps)(LPDWORD) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(GetEntries)(DWORD, DWORD, DWORD, LPPALETTEENTRY) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(Initialize)(LPDIRECTDRAW, DWORD, LPPALETTEENTRY) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(SetEntries)(DWORD, DWORD, DWORD, LPPALETTEENTRY) override { return DDERR_UNSUPPORTED; }
};

struct FakeClipper : IDirectDrawClipper {
    STDMETHOD_(HRESULT, QueryInterface)(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { note('r'); ++record.other_releases; return 1; }
    STDMETHOD(GetClipList)(LPRECT, LPRGNDATA, LPDWORD) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(GetHWnd)(HWND*) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(Initialize)(LPDIRECTDRAW, DWORD) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(IsClipListChanged)(WINBOOL*) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(SetClipList)(LPRGNDATA, DWORD) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(SetHWnd)(DWORD flags, HWND window) override {
        note('H');
        record.clipper_window_flags = flags;
        record.clipper_window = window;
        return fails(FAKE_CLIPPER_WINDOW) ? DDERR_INVALIDPARAMS : DD_OK;
    }
};

static FakePalette palette;
static FakeClipper clipper;

// --- surfaces ----------------------------------------------------------------------------------

struct FakeSurface;
static FakeSurface* primary_surface();
static FakeSurface* back_surface();

static void fill_back(const RECT& rect, DWORD color) {
    const int bpp = bytes_per_pixel();
    for (LONG y = rect.top; y < rect.bottom && y < SURFACE_HEIGHT; ++y)
        for (LONG x = rect.left; x < rect.right && x < SURFACE_WIDTH; ++x)
            std::memcpy(back_memory + y * back_pitch() + x * bpp, &color, bpp);
}

struct FakeSurface : IDirectDrawSurface {
    STDMETHOD_(HRESULT, QueryInterface)(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { note('r'); ++record.other_releases; return 1; }
    STDMETHOD(AddAttachedSurface)(LPDIRECTDRAWSURFACE) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(AddOverlayDirtyRect)(LPRECT) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(Blt)(LPRECT dest, LPDIRECTDRAWSURFACE source, LPRECT source_rect, DWORD flags,
                   LPDDBLTFX fx) override {
        if (flags & DDBLT_COLORFILL) {
            note('f');
            record.fill_on_back = this == back_surface();
            record.fill_rect = dest ? *dest : RECT{-1, -1, -1, -1};
            record.fill_source_null = source == nullptr;
            record.fill_source_rect_null = source_rect == nullptr;
            record.fill_flags = flags;
            record.fill_fx_size = fx ? fx->dwSize : 0;
            record.fill_color = fx ? fx->dwFillColor : 0xFFFFFFFF;
            if (fx) {
                DDBLTFX rest = *fx;
                rest.dwSize = 0;
                rest.dwFillColor = 0;
                record.fill_fx_rest_zero = all_zero(&rest, sizeof rest);
            }
            if (record.fill_on_back && dest && fx) fill_back(*dest, fx->dwFillColor);
            return DD_OK;
        }
        note('p');
        const LONGLONG now = clock_us();
        if (wait_end_us >= 0 && now - wait_end_us > record.longest_wait_to_present_us)
            record.longest_wait_to_present_us = now - wait_end_us;
        if (presents_log != nullptr) {
            std::fprintf(presents_log, "%lld %lld %lld\n", now, ready_us, last_blank);
            std::fflush(presents_log);
        }
        record.present_on_primary = this == primary_surface();
        record.present_from_back = source == back_surface();
        record.present_dest = dest ? *dest : RECT{-1, -1, -1, -1};
        record.present_source = source_rect ? *source_rect : RECT{-1, -1, -1, -1};
        record.present_flags = flags;
        record.present_fx_null = fx == nullptr;
        return DD_OK;
    }
    STDMETHOD(BltBatch)(LPDDBLTBATCH, DWORD, DWORD) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(BltFast)(DWORD, DWORD, LPDIRECTDRAWSURFACE, LPRECT, DWORD) override {
        return DDERR_UNSUPPORTED;
    }
    STDMETHOD(DeleteAttachedSurface)(DWORD, LPDIRECTDRAWSURFACE) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(EnumAttachedSurfaces)(LPVOID, LPDDENUMSURFACESCALLBACK) override {
        return DDERR_UNSUPPORTED;
    }
    STDMETHOD(EnumOverlayZOrders)(DWORD, LPVOID, LPDDENUMSURFACESCALLBACK) override {
        return DDERR_UNSUPPORTED;
    }
    STDMETHOD(Flip)(LPDIRECTDRAWSURFACE, DWORD) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(GetAttachedSurface)(LPDDSCAPS, LPDIRECTDRAWSURFACE*) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(GetBltStatus)(DWORD) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(GetCaps)(LPDDSCAPS) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(GetClipper)(LPDIRECTDRAWCLIPPER*) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(GetColorKey)(DWORD, LPDDCOLORKEY) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(GetDC)(HDC*) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(GetFlipStatus)(DWORD) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(GetOverlayPosition)(LPLONG, LPLONG) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(GetPalette)(LPDIRECTDRAWPALETTE*) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(GetPixelFormat)(LPDDPIXELFORMAT format) override {
        note('F');
        record.pixel_format_size = format->dwSize;
        if (fails(FAKE_PIXEL_FORMAT)) return DDERR_INVALIDPARAMS;
        format->dwFlags = script.depth == 8 ? DDPF_RGB | DDPF_PALETTEINDEXED8 : DDPF_RGB;
        format->dwRGBBitCount = script.depth;
        format->dwRBitMask = script.masks[0];
        format->dwGBitMask = script.masks[1];
        format->dwBBitMask = script.masks[2];
        return DD_OK;
    }
    STDMETHOD(GetSurfaceDesc)(LPDDSURFACEDESC) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(Initialize)(LPDIRECTDRAW, LPDDSURFACEDESC) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(IsLost)() override { return DD_OK; }
    STDMETHOD(Lock)(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE event) override {
        note('l');
        record.lock_on_back = this == back_surface();
        record.lock_rect_null = rect == nullptr;
        record.lock_flags = flags;
        record.lock_event_null = event == nullptr;
        record.lock_desc_size = desc->dwSize;
        DDSURFACEDESC rest = *desc;
        rest.dwSize = 0;
        record.lock_desc_rest_zero = all_zero(&rest, sizeof rest);
        if (fails(FAKE_LOCK)) return DDERR_SURFACEBUSY;
        desc->dwFlags = DDSD_PITCH | DDSD_WIDTH | DDSD_HEIGHT | DDSD_LPSURFACE;
        desc->dwWidth = SURFACE_WIDTH;
        desc->dwHeight = SURFACE_HEIGHT;
        desc->lPitch = back_pitch();
        desc->lpSurface = back_memory;
        record.unlocked = false;
        return DD_OK;
    }
    STDMETHOD(ReleaseDC)(HDC) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(Restore)() override { return DD_OK; }
    STDMETHOD(SetClipper)(LPDIRECTDRAWCLIPPER given) override {
        note('A');
        record.clipper_set_is_created = given == &clipper;
        record.clipper_set_on_primary = this == primary_surface();
        return fails(FAKE_SET_CLIPPER) ? DDERR_INVALIDPARAMS : DD_OK;
    }
    STDMETHOD(SetColorKey)(DWORD, LPDDCOLORKEY) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(SetOverlayPosition)(LONG, LONG) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(SetPalette)(LPDIRECTDRAWPALETTE given) override {
        note('S');
        record.palette_set_is_created = given == &palette;
        record.palette_set_on_primary = this == primary_surface();
        return fails(FAKE_SET_PALETTE) ? DDERR_INVALIDPARAMS : DD_OK;
    }
    STDMETHOD(Unlock)(LPVOID pointer) override {
        note('u');
        record.unlock_pointer_locked = pointer == back_memory;
        record.unlocked = true;
        const LONGLONG start = clock_us();
        while (clock_us() - start < static_cast<LONGLONG>(script.work_us)) {
        }
        ready_us = clock_us();
        waiting = false;
        return DD_OK;
    }
    STDMETHOD(UpdateOverlay)(LPRECT, LPDIRECTDRAWSURFACE, LPRECT, DWORD, LPDDOVERLAYFX) override {
        return DDERR_UNSUPPORTED;
    }
    STDMETHOD(UpdateOverlayDisplay)(DWORD) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(UpdateOverlayZOrder)(DWORD, LPDIRECTDRAWSURFACE) override { return DDERR_UNSUPPORTED; }
};

static FakeSurface surfaces[2];
static FakeSurface* primary_surface() { return &surfaces[0]; }
static FakeSurface* back_surface() { return &surfaces[1]; }

// --- the DirectDraw object ---------------------------------------------------------------------

struct FakeDirectDraw : IDirectDraw {
    STDMETHOD_(HRESULT, QueryInterface)(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override {
        note('R');
        ++record.direct_draw_releases;
        return 0;
    }
    STDMETHOD(Compact)() override { return DDERR_UNSUPPORTED; }
    STDMETHOD(CreateClipper)(DWORD flags, LPDIRECTDRAWCLIPPER* made, IUnknown* outer) override {
        note('K');
        record.clipper_flags = flags;
        record.clipper_outer_null = outer == nullptr;
        if (fails(FAKE_CLIPPER)) return DDERR_INVALIDPARAMS;
        *made = &clipper;
        return DD_OK;
    }
    STDMETHOD(CreatePalette)(DWORD caps, LPPALETTEENTRY entries, LPDIRECTDRAWPALETTE* made,
                             IUnknown* outer) override {
        note('L');
        record.palette_caps = caps;
        record.palette_outer_null = outer == nullptr;
        std::memcpy(record.palette_entries, entries, sizeof record.palette_entries);
        if (fails(FAKE_PALETTE)) return DDERR_INVALIDPARAMS;
        *made = &palette;
        return DD_OK;
    }
    STDMETHOD(CreateSurface)(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* made, IUnknown* outer) override {
        if (desc->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) {
            note('P');
            record.primary_desc = *desc;
            record.primary_outer_null = outer == nullptr;
            if (fails(FAKE_PRIMARY)) return DDERR_NOEXCLUSIVEMODE;
            *made = primary_surface();
            return DD_OK;
        }
        note('B');
        record.back_desc = *desc;
        record.back_outer_null = outer == nullptr;
        if (fails(FAKE_BACK)) return DDERR_OUTOFVIDEOMEMORY;
        *made = back_surface();
        return DD_OK;
    }
    STDMETHOD(DuplicateSurface)(LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE*) override {
        return DDERR_UNSUPPORTED;
    }
    STDMETHOD(EnumDisplayModes)(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMMODESCALLBACK) override {
        return DDERR_UNSUPPORTED;
    }
    STDMETHOD(EnumSurfaces)(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMSURFACESCALLBACK) override {
        return DDERR_UNSUPPORTED;
    }
    STDMETHOD(FlipToGDISurface)() override { return DDERR_UNSUPPORTED; }
    STDMETHOD(GetCaps)(LPDDCAPS, LPDDCAPS) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(GetDisplayMode)(LPDDSURFACEDESC) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(GetFourCCCodes)(LPDWORD, LPDWORD) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(GetGDISurface)(LPDIRECTDRAWSURFACE*) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(GetMonitorFrequency)(LPDWORD hz) override {
        note('M');
        if (fails(FAKE_MONITOR)) return DDERR_UNSUPPORTED;
        *hz = script.monitor_hz;
        return DD_OK;
    }
    STDMETHOD(GetScanLine)(LPDWORD) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(GetVerticalBlankStatus)(WINBOOL*) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(Initialize)(GUID*) override { return DDERR_UNSUPPORTED; }
    STDMETHOD(RestoreDisplayMode)() override { return DDERR_UNSUPPORTED; }
    STDMETHOD(SetCooperativeLevel)(HWND window, DWORD flags) override {
        note('C');
        record.cooperative_window = window;
        record.cooperative_flags = flags;
        if (fails(FAKE_COOPERATIVE)) return DDERR_EXCLUSIVEMODEALREADYSET;
        if (script.fit_window)
            SetWindowPos(window, nullptr, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                         GetSystemMetrics(SM_CYSCREEN), SWP_NOZORDER | SWP_NOACTIVATE);
        return DD_OK;
    }
    STDMETHOD(SetDisplayMode)(DWORD, DWORD, DWORD) override { return DDERR_UNSUPPORTED; }
    // Blocks until the next blank of a display refreshing at blank_hz, or returns at once. The
    // last 3 ms are spun, not slept (a sleep may overrun by milliseconds on a busy machine), so
    // that the blanks of fast displays are kept to the microsecond.
    STDMETHOD(WaitForVerticalBlank)(DWORD flags, HANDLE event) override {
        note('w');
        record.wait_flags = flags;
        record.wait_event = event;
        const LONGLONG start = clock_us();
        if (!waiting && ready_us >= 0 && start - ready_us > record.longest_unlock_to_wait_us)
            record.longest_unlock_to_wait_us = start - ready_us;
        waiting = true;
        if (script.blank_hz == 0) {
            last_blank = -1;
        } else {
            const LONGLONG blank = (start * script.blank_hz / 1000000) + 1;
            const LONGLONG at = (blank * 1000000 + script.blank_hz - 1) / script.blank_hz;
            for (LONGLONG left = at - clock_us(); left > 0; left = at - clock_us())
                if (left >= 3000) Sleep(1);
                else SwitchToThread();
            // A wait that was kept from running past its blank ends with the latest blank.
            last_blank = clock_us() * script.blank_hz / 1000000;
        }
        wait_end_us = clock_us();
        return DD_OK;
    }
};

static FakeDirectDraw direct_draw;

// --- exports -----------------------------------------------------------------------------------

static const char* const CALL_NAMES[FAKE_CALLS] = {
    "",     "create",      "cooperative",    "primary",     "pixel_format", "palette",
    "set_palette", "back", "clipper", "clipper_window", "set_clipper", "lock", "monitor",
};

static void script_from_environment() {
    script = FakeScript{FAKE_NONE, 32, {0xFF0000, 0xFF00, 0xFF}, 60, 0, 0, false, nullptr};
    const char* fail = std::getenv("FAKE_DDRAW_FAIL");
    for (int i = 1; fail != nullptr && i < FAKE_CALLS; ++i)
        if (std::strcmp(fail, CALL_NAMES[i]) == 0) script.fail = i;
    if (const char* depth = std::getenv("FAKE_DDRAW_DEPTH")) script.depth = std::atoi(depth);
    if (const char* hz = std::getenv("FAKE_DDRAW_MONITOR_HZ")) script.monitor_hz = std::atoi(hz);
    if (const char* hz = std::getenv("FAKE_DDRAW_BLANK_HZ")) script.blank_hz = std::atoi(hz);
    if (const char* work = std::getenv("FAKE_DDRAW_WORK_US")) script.work_us = std::atoi(work);
}

extern "C" __declspec(dllexport) FakeScript* __cdecl fake_ddraw_script() { return &script; }
extern "C" __declspec(dllexport) FakeRecord* __cdecl fake_ddraw_record() { return &record; }

extern "C" __declspec(dllexport) void __cdecl fake_ddraw_reset() {
    script_from_environment();
    record = FakeRecord{};
    record.unlocked = true;
    ready_us = wait_end_us = last_blank = -1;
    waiting = false;
    std::memset(back_memory, FAKE_SLACK_BYTE, sizeof back_memory);
    record.back_pixels = back_memory;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DirectDrawCreate(GUID* guid, LPDIRECTDRAW* made,
                                                                 IUnknown* outer) {
    note('D');
    record.create_guid = guid;
    record.create_outer = outer;
    record.back_pitch = back_pitch();
    if (fails(FAKE_CREATE)) return DDERR_NODIRECTDRAWHW;
    *made = &direct_draw;
    return DD_OK;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        QueryPerformanceCounter(&clock_start);
        QueryPerformanceFrequency(&clock_frequency);
        fake_ddraw_reset();
        if (const char* path = std::getenv("FAKE_DDRAW_PRESENTS"))
            presents_log = std::fopen(path, "w");
    } else if (reason == DLL_PROCESS_DETACH && presents_log != nullptr) {
        std::fclose(presents_log);
    }
    return TRUE;
}
