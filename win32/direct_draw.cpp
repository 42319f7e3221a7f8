// DirectDraw set-up. Every status is tested; a failure abandons the display by releasing the
// DirectDraw object, which takes the surfaces, the palette and the clipper with it. The desktop's
// display mode is never changed: the surfaces take its resolution and depth.
#include "direct_draw.h"

#include "animation.h"
#include "fixed_palette.h"
#include "frame_fit.h"

// The sizes the published interfaces are called with.
static_assert(sizeof(DDSURFACEDESC) == 108, "surface description of 108 bytes");
static_assert(sizeof(DDPIXELFORMAT) == 32, "pixel format of 32 bytes");

Display display;

void reset_display() { display = Display{}; }

void fill_fixed_palette(PALETTEENTRY entries[256]) {
    for (int i = 0; i < 256; ++i) {
        const PaletteRgb color = fixed_palette_color(static_cast<uint8_t>(i));
        entries[i].peRed = color.red;
        entries[i].peGreen = color.green;
        entries[i].peBlue = color.blue;
        entries[i].peFlags = 0;
    }
}

// Nothing but the DirectDraw object is released: what was made from it goes with it.
static void abandon_display() {
    display.direct_draw->Release();
    display.direct_draw = nullptr;
}

// The layout of an 8-bit surface is the fixed palette's; deeper ones report their own masks.
// Returns false for a depth that cannot be drawn.
static bool channel_masks(const DDPIXELFORMAT& format, DWORD masks[3]) {
    switch (format.dwRGBBitCount) {
    case 8:
        masks[0] = PALETTE_RED_MASK;
        masks[1] = PALETTE_GREEN_MASK;
        masks[2] = PALETTE_BLUE_MASK;
        return true;
    case 16:
    case 24:
    case 32:
        masks[0] = format.dwRBitMask;
        masks[1] = format.dwGBitMask;
        masks[2] = format.dwBBitMask;
        return true;
    default: return false;
    }
}

static bool set_fixed_palette() {
    fill_fixed_palette(display.palette_entries);
    if (display.direct_draw->CreatePalette(DDPCAPS_8BIT, display.palette_entries, &display.palette,
                                           nullptr) != DD_OK)
        return false;
    return display.primary_surface->SetPalette(display.palette) == DD_OK;
}

static bool create_back_surface() {
    DDSURFACEDESC desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.dwHeight = FRAME_HEIGHT;
    desc.dwWidth = FRAME_WIDTH;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    return display.direct_draw->CreateSurface(&desc, &display.back_surface, nullptr) == DD_OK;
}

static bool attach_clipper(HWND window) {
    if (display.direct_draw->CreateClipper(0, &display.clipper, nullptr) != DD_OK) return false;
    if (display.clipper->SetHWnd(0, window) != DD_OK) return false;
    return display.primary_surface->SetClipper(display.clipper) == DD_OK;
}

void setup_display(HWND window) {
    if (display.direct_draw != nullptr) return;

    // Only a created object is stored: a failed creation leaves no display to release.
    IDirectDraw* direct_draw = nullptr;
    if (DirectDrawCreate(nullptr, &direct_draw, nullptr) != DD_OK || direct_draw == nullptr) return;
    display.direct_draw = direct_draw;

    if (direct_draw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN) != DD_OK)
        return abandon_display();

    DDSURFACEDESC primary = {};
    primary.dwSize = sizeof primary;
    primary.dwFlags = DDSD_CAPS;
    primary.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    if (direct_draw->CreateSurface(&primary, &display.primary_surface, nullptr) != DD_OK)
        return abandon_display();

    // A format that cannot be read is a failed set-up like any other, not a depth of 0: the
    // window then says that DirectDraw did not start rather than that colours are too few.
    DDPIXELFORMAT format = {};
    format.dwSize = sizeof format;
    if (display.primary_surface->GetPixelFormat(&format) != DD_OK) return abandon_display();

    DWORD masks[3];
    if (!channel_masks(format, masks)) {
        display.too_few_colors = 1;
        return abandon_display();
    }
    const DWORD depth = format.dwRGBBitCount;
    if (depth == 8 && !set_fixed_palette()) return abandon_display();
    if (!create_back_surface()) return abandon_display();
    if (!attach_clipper(window)) return abandon_display();

    display.bytes_per_pixel = static_cast<int>(depth / 8);
    const SurfaceLayout layout = {display.bytes_per_pixel, masks[0], masks[1], masks[2]};
    start_animation(layout, GetTickCount());
}
