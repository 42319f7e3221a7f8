// The fixed 256-colour palette of an 8-bit desktop: index bits 7-5 red, 4-2 green, 1-0 blue,
// the same split the masks 0xE0, 0x1C and 0x03 give the pixel packing.
#pragma once

#include <cstdint>

struct PaletteRgb {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
};

PaletteRgb fixed_palette_color(uint8_t index);

constexpr uint32_t PALETTE_RED_MASK = 0xE0;
constexpr uint32_t PALETTE_GREEN_MASK = 0x1C;
constexpr uint32_t PALETTE_BLUE_MASK = 0x03;
