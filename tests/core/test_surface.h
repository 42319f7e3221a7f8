// A surface in memory for the packing and drawing tests: one of the four layouts, rows padded
// beyond the drawable width, every byte UNTOUCHED until something is stored. Making one points
// pixel_format at it.
#pragma once

#include <cstdint>
#include <vector>

#include "pixel_format.h"

constexpr uint8_t UNTOUCHED = 0xAB;

struct Layout {
    int32_t bpp;
    uint32_t red_mask, green_mask, blue_mask;
    uint32_t opaque_bits = 0;
};

constexpr Layout PALETTE_8 = {1, 0xE0, 0x1C, 0x03};
constexpr Layout RGB_565 = {2, 0xF800, 0x07E0, 0x001F};
constexpr Layout RGB_888_3 = {3, 0xFF0000, 0xFF00, 0xFF};
constexpr Layout RGB_888_4 = {4, 0xFF0000, 0xFF00, 0xFF};
constexpr Layout LAYOUTS[4] = {PALETTE_8, RGB_565, RGB_888_3, RGB_888_4};
// The canvas's: bytes red, green, blue, alpha in memory, the alpha byte always opaque.
constexpr Layout CANVAS_RGBA = {4, 0xFF, 0xFF00, 0xFF0000, 0xFF000000};

struct TestSurface {
    std::vector<uint8_t> bytes;
    int32_t bpp;
    int32_t pitch;

    explicit TestSurface(const Layout& layout, uint32_t width = 640, uint32_t height = 480,
                         int32_t padding = 8)
        : bpp(layout.bpp), pitch(static_cast<int32_t>(width) * layout.bpp + padding) {
        bytes.assign(static_cast<size_t>(pitch) * height, UNTOUCHED);
        set_pixel_layout(bpp, layout.red_mask, layout.green_mask, layout.blue_mask, width, height);
        pixel_format.opaque_bits = layout.opaque_bits;
        pixel_format.pixels = bytes.data();
        pixel_format.pitch = pitch;
    }
    const uint8_t* at(uint32_t x, uint32_t y) const { return &bytes[y * pitch + x * bpp]; }
    // The stored pixel, read back little-endian.
    uint32_t value(uint32_t x, uint32_t y) const {
        uint32_t v = 0;
        for (int32_t i = bpp - 1; i >= 0; --i) v = v << 8 | at(x, y)[i];
        return v;
    }
    bool touched(uint32_t x, uint32_t y) const {
        for (int32_t i = 0; i < bpp; ++i) {
            if (at(x, y)[i] != UNTOUCHED) return true;
        }
        return false;
    }
    bool untouched() const {
        for (uint8_t b : bytes) {
            if (b != UNTOUCHED) return false;
        }
        return true;
    }
};
