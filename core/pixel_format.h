// The layout of the locked off-screen surface and the packing of a colour into it. All drawing
// writes single pixels straight into the surface memory; there is no frame buffer of our own.
#pragma once

#include <cstdint>
#include <cstring>

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
                              // (the opaque bits alone where there are any)
    uint32_t width;           // columns >= width are never stored
    uint32_t height;          // rows >= height are never stored
    uint32_t opaque_bits;     // set in every packed value: an alpha channel held opaque (the
                              // canvas's RGBA layout); 0 in every other layout
};

// All zero until display set-up: nothing is stored before then.
extern PixelFormat pixel_format;

// Shift that lines bit 7 of a channel up with the top bit of mask (0 for an empty mask).
int32_t mask_shift(uint32_t mask);

// Describes a surface of width x height pixels in the given layout, without opaque bits (the
// fill colour then 0); the shifts are derived from the masks. pixels and pitch are left for the lock to fill.
void set_pixel_layout(int32_t bytes_per_pixel, uint32_t red_mask, uint32_t green_mask,
                      uint32_t blue_mask, uint32_t width, uint32_t height);

// A logical shift either way: positive left, negative right, dropping the bits moved out.
// Shifts come from mask_shift, so they lie in -7..24.
inline uint32_t shift_channel(uint32_t value, int32_t shift) {
    if (shift >= 0) return value << shift;
    return value >> -shift;
}

inline uint32_t pack_color(const PixelFormat& format, uint32_t red, uint32_t green, uint32_t blue) {
    return (shift_channel(red, format.red_shift) & format.red_mask) |
           (shift_channel(green, format.green_shift) & format.green_mask) |
           (shift_channel(blue, format.blue_shift) & format.blue_mask) | format.opaque_bits;
}

// Stores an already packed value at (x, y); the caller has done the bounds test. The surface
// is little-endian: the 2- and 4-byte forms are single stores of the low bytes, the 3-byte
// form writes bits 0-7, 8-15 and 16-23 in this order.
inline void store_pixel(const PixelFormat& format, uint32_t x, uint32_t y, uint32_t value) {
    uint8_t* at = format.pixels + static_cast<intptr_t>(y) * format.pitch +
                  static_cast<intptr_t>(x) * format.bytes_per_pixel;
    switch (format.bytes_per_pixel) {
    case 1: at[0] = static_cast<uint8_t>(value); break;
    case 2: {
        const uint16_t half = static_cast<uint16_t>(value);
        std::memcpy(at, &half, 2);
        break;
    }
    case 3:
        at[0] = static_cast<uint8_t>(value);
        at[1] = static_cast<uint8_t>(value >> 8);
        at[2] = static_cast<uint8_t>(value >> 16);
        break;
    case 4: std::memcpy(at, &value, 4); break;
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
