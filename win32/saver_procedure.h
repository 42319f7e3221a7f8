// The saver window's own behaviour: the preview picture, the error line, and one frame of the
// animation per tick of the multimedia timer.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <mmsystem.h>

#include <atomic>

#include "frame_pacing.h"

struct SaverView {
    HWND window;
    UINT client_width;
    UINT client_height;
    RECT source_rect;        // the whole off-screen surface
    RECT dest_rect;          // the frame's rectangle in the middle of the primary monitor, on
                             // the primary surface (full screen only)
    int factor;              // each frame pixel is a factor x factor block there
    int text_x, text_y;      // the error line's start, in client coordinates (full screen only)
    HBITMAP preview_bitmap;  // preview only
    LONG bitmap_width;
    LONG bitmap_height;
    UINT timer_id;           // 0 when there is none
    // Shared with the timer thread without a lock: only that thread sets it (after reading 0),
    // only the window's thread clears it (as a frame's last step). An atomic, so that each side
    // sees the other's write and the compiler may neither cache nor reorder it.
    std::atomic<LONG> frame_pending;
    FramePacing pacing;      // every k-th blank on fast displays; a schedule of its own
                             // where the vertical-blank wait does not wait
};

extern SaverView saver_view;

// Restores the all-zero start (tests drive several windows in one process).
void reset_saver_view();

LRESULT saver_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

void CALLBACK frame_timer_proc(UINT timer_id, UINT message, DWORD_PTR user, DWORD_PTR reserved1,
                               DWORD_PTR reserved2);
#endif
