// The layout of the locked off-screen surface and the packing of a colour into it. All drawing
// writes single pixels straight into the surface memory; there is no frame buffer of our own.
#pragma once

#include <cstdint>

struct PixelFormat {
    int32_t bytes_per_pixel;  // 1..4; anything else stores nothing
    uint32_t red_mask;
    uint32_t green_mask;
    uint32_t blue_mask;
    int32_t red_shift;        // positive moves an 8-bit channel left, negative right
    int32_t green_shift;
    int32_t blue_shift;
    uint8_t* pixels;          // current only while the surface is locked
    int32_t pitch;            // bytes from one row to the next, as the lock reports it
    uint32_t fill_color;      // raw value every frame is cleared to: black in every layout
    uint32_t width;           // columns >= width are never stored
    uint32_t height;          // rows >= height are never stored
};

extern PixelFormat pixel_format;

// Shift that lines bit 7 of a channel up with the top bit of mask (0 for an empty mask).
int32_t mask_shift(uint32_t mask);

// Describes a surface of width x height pixels in the given layout; the shifts are derived
// from the masks. pixels and pitch are left for the lock to fill.
void set_pixel_layout(int32_t bytes_per_pixel, uint32_t red_mask, uint32_t green_mask,
                      uint32_t blue_mask, uint32_t width, uint32_t height);

inline uint32_t shift_channel(uint32_t value, int32_t shift) {
    if (shift >= 0) return value << shift;
    return value >> -shift;
}

inline uint32_t pack_color(const PixelFormat& format, uint32_t red, uint32_t green, uint32_t blue) {
    return (shift_channel(red, format.red_shift) & format.red_mask) |
           (shift_channel(green, format.green_shift) & format.green_mask) |
           (shift_channel(blue, format.blue_shift) & format.blue_mask);
}

// Stores an already packed value at (x, y); the caller has done the bounds test.
inline void store_pixel(const PixelFormat& format, uint32_t x, uint32_t y, uint32_t value) {
    uint8_t* at = format.pixels + static_cast<intptr_t>(y) * format.pitch +
                  static_cast<intptr_t>(x) * format.bytes_per_pixel;
    switch (format.bytes_per_pixel) {
    case 1: at[0] = static_cast<uint8_t>(value); break;
    case 2: at[0] = static_cast<uint8_t>(value); at[1] = static_cast<uint8_t>(value >> 8); break;
    case 3:
        at[0] = static_cast<uint8_t>(value);
        at[1] = static_cast<uint8_t>(value >> 8);
        at[2] = static_cast<uint8_t>(value >> 16);
        break;
    case 4:
        at[0] = static_cast<uint8_t>(value);
        at[1] = static_cast<uint8_t>(value >> 8);
        at[2] = static_cast<uint8_t>(value >> 16);
        at[3] = static_cast<uint8_t>(value >> 24);
        break;
    default: break;
    }
}

// Packs a colour into the current layout and stores it at (x, y) of the locked surface.
// Coordinates outside width x height (negative ones included, as large unsigned numbers)
// store nothing.
inline void put_pixel(uint32_t x, uint32_t y, uint32_t red, uint32_t green, uint32_t blue) {
    if (x >= pixel_format.width || y >= pixel_format.height) return;
    store_pixel(pixel_format, x, y, pack_color(pixel_format, red, green, blue));
}
