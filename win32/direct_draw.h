// DirectDraw set-up: exclusive full-screen access, the primary surface, the fixed palette of an
// 8-bit desktop, the 640 x 480 off-screen surface and a clipper bound to the saver window.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <ddraw.h>

struct Display {
    IDirectDraw* direct_draw;            // null: no display; every user tests this first
    IDirectDrawSurface* primary_surface;
    IDirectDrawSurface* back_surface;    // the frame is drawn here
    int bytes_per_pixel;                 // of both surfaces, once set up
    IDirectDrawClipper* clipper;
    IDirectDrawPalette* palette;         // 8 bits per pixel only
    PALETTEENTRY palette_entries[256];
    WORD too_few_colors;                 // set once the desktop's depth cannot be drawn
};

extern Display display;

// Restores the all-null start, too_few_colors included (tests drive several set-ups).
void reset_display();

// Brings the display up once for the saver window and builds the scene; on any failure
// leaves direct_draw null (and too_few_colors set for an unsupported depth).
void setup_display(HWND window);

// The fixed palette of an 8-bit desktop: entry i is fixed_palette_color(i), flags 0.
void fill_fixed_palette(PALETTEENTRY entries[256]);
#endif
