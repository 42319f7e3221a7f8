// A scripted stand-in for ddraw.dll: DirectDrawCreate hands out a DirectDraw object whose calls
// succeed or fail as the script says and are written down in the record, so that tests can see
// every argument the display code passes and the order of the calls. Loaded instead of Wine's
// own ddraw.dll with WINEDLLOVERRIDES="ddraw=n" from the test program's directory.
//
// Programs that cannot reach the script in process (the real saver) are scripted through the
// environment: FAKE_DDRAW_FAIL names the failing call (the names below), FAKE_DDRAW_DEPTH the
// primary surface's bit count, FAKE_DDRAW_MONITOR_HZ, FAKE_DDRAW_BLANK_HZ and FAKE_DDRAW_WORK_US
// the script's fields of those names, and FAKE_DDRAW_PRESENTS a file that gets one line per
// present: "present_us ready_us blank", the clock at the present and at the end of the frame's
// drawing (microseconds since the stand-in was loaded), and the number of the blank its last wait
// ended on (-1 where the wait does not wait).
#pragma once

#include <windows.h>
#include <ddraw.h>

enum FakeCall : int {
    FAKE_NONE = 0,
    FAKE_CREATE,           // "create": DirectDrawCreate
    FAKE_COOPERATIVE,      // "cooperative": IDirectDraw::SetCooperativeLevel
    FAKE_PRIMARY,          // "primary": IDirectDraw::CreateSurface of the primary surface
    FAKE_PIXEL_FORMAT,     // "pixel_format": IDirectDrawSurface::GetPixelFormat
    FAKE_PALETTE,          // "palette": IDirectDraw::CreatePalette
    FAKE_SET_PALETTE,      // "set_palette": IDirectDrawSurface::SetPalette
    FAKE_BACK,             // "back": IDirectDraw::CreateSurface of any other surface
    FAKE_CLIPPER,          // "clipper": IDirectDraw::CreateClipper
    FAKE_CLIPPER_WINDOW,   // "clipper_window": IDirectDrawClipper::SetHWnd
    FAKE_SET_CLIPPER,      // "set_clipper": IDirectDrawSurface::SetClipper
    FAKE_LOCK,             // "lock": IDirectDrawSurface::Lock
    FAKE_MONITOR,          // "monitor": IDirectDraw::GetMonitorFrequency
    FAKE_CALLS
};

// Called after each call has been written down, so that a test can look at the caller's state
// at that moment (the letter is the call's, see display_fake_ddraw.cpp).
typedef void(__cdecl* FakeCallHook)(char letter);

struct FakeScript {
    int fail;               // the FakeCall that fails, FAKE_NONE for none
    DWORD depth;            // bit count of the primary surface's pixel format
    DWORD masks[3];         // its red, green and blue masks
    DWORD monitor_hz;       // what GetMonitorFrequency reports
    DWORD blank_hz;         // 0: the vertical-blank wait returns at once; otherwise it blocks
                            // until the next blank of a display refreshing at this rate
    DWORD work_us;          // extra work of every frame, spent in Unlock: a heavy frame
    bool fit_window;        // SetCooperativeLevel fits the window to the primary monitor, as
                            // DirectDraw's exclusive mode does
    FakeCallHook on_call;   // null for none
};

// Bytes of each row of the off-screen surface beyond its 640 pixels, and their value: drawing
// must never touch them.
constexpr int FAKE_ROW_SLACK = 24;
constexpr BYTE FAKE_SLACK_BYTE = 0xA5;

struct FakeRecord {
    char order[4096];       // one letter per call, in order (see display_fake_ddraw.cpp)
    int length;
    int calls[FAKE_CALLS];  // how often each scripted call was made
    int direct_draw_releases;
    int other_releases;     // of surfaces, palette or clipper: the display code makes none

    GUID* create_guid;      // arguments of DirectDrawCreate
    IUnknown* create_outer;
    HWND cooperative_window;
    DWORD cooperative_flags;
    DDSURFACEDESC primary_desc;  // as passed to CreateSurface
    DDSURFACEDESC back_desc;
    bool primary_outer_null;
    bool back_outer_null;
    DWORD pixel_format_size;
    DWORD palette_caps;
    PALETTEENTRY palette_entries[256];
    bool palette_outer_null;
    bool palette_set_is_created;  // SetPalette was given the palette made by CreatePalette
    bool palette_set_on_primary;
    DWORD clipper_flags;
    bool clipper_outer_null;
    DWORD clipper_window_flags;
    HWND clipper_window;
    bool clipper_set_is_created;
    bool clipper_set_on_primary;

    // Frames: the last of each call's arguments.
    RECT fill_rect;
    bool fill_on_back;
    bool fill_source_null;
    bool fill_source_rect_null;
    DWORD fill_flags;
    DWORD fill_fx_size;
    DWORD fill_color;
    bool fill_fx_rest_zero;  // everything of the DDBLTFX but its size and fill colour is zero
    bool lock_rect_null;
    DWORD lock_flags;
    DWORD lock_desc_size;
    bool lock_desc_rest_zero;
    bool lock_event_null;
    bool lock_on_back;
    bool unlock_pointer_locked;  // Unlock was given the pointer Lock handed out
    bool unlocked;               // no lock is outstanding
    DWORD wait_flags;
    HANDLE wait_event;
    RECT present_dest;
    RECT present_source;
    bool present_on_primary;
    bool present_from_back;
    DWORD present_flags;
    bool present_fx_null;
    BYTE* back_pixels;      // the off-screen surface's memory and row length
    LONG back_pitch;
    LONGLONG longest_unlock_to_wait_us;   // from the end of a frame's drawing to its first wait
    LONGLONG longest_wait_to_present_us;  // from a wait's return to the present after it
};

// Exported by the stand-in; a test reaches them through GetProcAddress.
typedef FakeScript*(__cdecl* FakeScriptFn)();
typedef FakeRecord*(__cdecl* FakeRecordFn)();
typedef void(__cdecl* FakeResetFn)();
