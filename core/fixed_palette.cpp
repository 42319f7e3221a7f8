// The fixed palette: each 3-bit level scaled to 0..255 by 255/7, each 2-bit level by 255/3,
// in integer arithmetic that drops the fraction.
#include "fixed_palette.h"

PaletteRgb fixed_palette_color(uint8_t index) {
    PaletteRgb color;
    color.red = static_cast<uint8_t>(((index >> 5) & 7) * 255 / 7);
    color.green = static_cast<uint8_t>(((index >> 2) & 7) * 255 / 7);
    color.blue = static_cast<uint8_t>((index & 3) * 255 / 3);
    return color;
}
