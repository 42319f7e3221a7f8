// Deriving the channel shifts of a surface layout from its masks.
#include "pixel_format.h"

// store_pixel's 2- and 4-byte stores write the value's own bytes: right only on a
// little-endian machine, which every target of this program is.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "pixel stores assume little-endian");

PixelFormat pixel_format;

int32_t mask_shift(uint32_t mask) {
    for (int32_t bit = 31; bit >= 0; --bit) {
        if (mask & (1u << bit)) return bit - 7;
    }
    return 0;
}

void set_pixel_layout(int32_t bytes_per_pixel, uint32_t red_mask, uint32_t green_mask,
                      uint32_t blue_mask, uint32_t width, uint32_t height) {
    pixel_format.bytes_per_pixel = bytes_per_pixel;
    pixel_format.red_mask = red_mask;
    pixel_format.green_mask = green_mask;
    pixel_format.blue_mask = blue_mask;
    pixel_format.red_shift = mask_shift(red_mask);
    pixel_format.green_shift = mask_shift(green_mask);
    pixel_format.blue_shift = mask_shift(blue_mask);
    pixel_format.width = width;
    pixel_format.height = height;
    // A new layout starts without opaque bits, so black is 0.
    pixel_format.opaque_bits = 0;
    pixel_format.fill_color = 0;
}
