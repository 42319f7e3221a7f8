// Pixel packing into the four surface layouts, and the fixed palette of an 8-bit desktop.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "fixed_palette.h"
#include "pixel_format.h"
#include "test_surface.h"

namespace {

// Captured before any test runs: the record as the program starts.
const PixelFormat initial_format = pixel_format;

TEST(MaskShift, CommonLayoutsAndEdges) {
    const struct { uint32_t mask; int32_t shift; } rows[] = {
        {0xE0, 0},      {0x1C, -3},  {0x03, -6},  // 8-bit palette
        {0xF800, 8},    {0x07E0, 3}, {0x001F, -3},  // 5-6-5
        {0x7C00, 7},    {0x03E0, 2},              // 5-5-5 (its blue as 5-6-5)
        {0xFF0000, 16}, {0xFF00, 8}, {0xFF, 0},   // 8-8-8
        {0, 0},         {1, -7},     {0x80000000u, 24}, {0xFFFFFFFFu, 24},
    };
    for (const auto& row : rows) EXPECT_EQ(mask_shift(row.mask), row.shift) << std::hex << row.mask;

    EXPECT_EQ(shift_channel(0xFF, 16), 0xFF0000u);
    EXPECT_EQ(shift_channel(0xFF, -6), 0x03u);
    EXPECT_EQ(shift_channel(0x80000000u, -7), 0x01000000u);  // logical: no sign bits come in
    EXPECT_EQ(shift_channel(0x5A, 0), 0x5Au);
}

TEST(PutPixel, StatedValuesInEveryLayout) {
    const struct { Layout layout; uint32_t r, g, b; uint8_t bytes[4]; } cases[] = {
        {PALETTE_8, 255, 255, 255, {0xFF}}, {PALETTE_8, 255, 0, 0, {0xE0}},
        {PALETTE_8, 0, 255, 0, {0x1C}},     {PALETTE_8, 0, 0, 255, {0x03}},
        {PALETTE_8, 128, 64, 192, {0x8B}},  {RGB_565, 255, 255, 255, {0xFF, 0xFF}},
        {RGB_565, 255, 0, 0, {0x00, 0xF8}}, {RGB_565, 128, 128, 128, {0x10, 0x84}},
        {RGB_888_3, 0x12, 0x34, 0x56, {0x56, 0x34, 0x12}},
        {RGB_888_4, 0x12, 0x34, 0x56, {0x56, 0x34, 0x12, 0x00}},
        {CANVAS_RGBA, 0x12, 0x34, 0x56, {0x12, 0x34, 0x56, 0xFF}},
        {CANVAS_RGBA, 0, 0, 0, {0x00, 0x00, 0x00, 0xFF}},
        {CANVAS_RGBA, 255, 255, 255, {0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (const auto& c : cases) {
        TestSurface s(c.layout);
        put_pixel(5, 9, c.r, c.g, c.b);
        for (int32_t i = 0; i < s.bpp; ++i) {
            EXPECT_EQ(s.at(5, 9)[i], c.bytes[i]) << s.bpp << " " << i;
        }
        EXPECT_FALSE(s.touched(6, 9)) << s.bpp;  // exactly bytes_per_pixel bytes
        EXPECT_FALSE(s.touched(4, 9)) << s.bpp;
    }
    TestSurface palette(PALETTE_8);
    EXPECT_EQ(pixel_format.green_shift, -3);
    EXPECT_EQ(pixel_format.blue_shift, -6);
}

// Each layout's bit fields, written out independently, against many random colours.
TEST(PutPixel, RandomColoursLandInTheLayoutsBitFields) {
    std::mt19937 rng(7);
    for (const Layout& layout : LAYOUTS) {
        TestSurface s(layout);
        for (int n = 0; n < 2000; ++n) {
            const uint32_t r = rng() & 255, g = rng() & 255, b = rng() & 255;
            const uint32_t x = rng() % 640, y = rng() % 480;
            put_pixel(x, y, r, g, b);
            const uint32_t want = s.bpp == 1   ? (r & 0xE0) | (g >> 3 & 0x1C) | b >> 6
                                  : s.bpp == 2 ? (r >> 3) << 11 | (g >> 2) << 5 | b >> 3
                                               : r << 16 | g << 8 | b;
            ASSERT_EQ(s.value(x, y), want) << s.bpp << ": " << r << " " << g << " " << b;
        }
    }
}

TEST(PutPixel, BoundsAndRowPadding) {
    const uint32_t minus_one = static_cast<uint32_t>(-1);
    for (const Layout& layout : LAYOUTS) {
        TestSurface s(layout, 640, 480, 12);
        put_pixel(640, 0, 255, 255, 255);
        put_pixel(0, 480, 255, 255, 255);
        put_pixel(minus_one, 5, 255, 255, 255);
        put_pixel(5, minus_one, 255, 255, 255);
        EXPECT_TRUE(s.untouched()) << s.bpp;

        for (uint32_t y = 0; y < 480; ++y) {
            for (uint32_t x = 0; x < 640; ++x) put_pixel(x, y, 0, 0, 0);
        }
        put_pixel(639, 479, 255, 255, 255);  // the last pixel of the last row
        EXPECT_EQ(s.value(639, 479), s.bpp == 1 ? 0xFFu : s.bpp == 2 ? 0xFFFFu : 0xFFFFFFu);
        for (uint32_t y = 0; y < 480; ++y) {
            ASSERT_EQ(s.value(0, y) | s.value(638, y), 0u);
            for (int32_t i = 640 * s.bpp; i < s.pitch; ++i) {
                ASSERT_EQ(s.bytes[y * s.pitch + i], UNTOUCHED) << s.bpp << " row " << y;
            }
        }
    }
}

TEST(PutPixel, NothingStoredBeforeSetUpOrForOtherByteCounts) {
    EXPECT_EQ(initial_format.bytes_per_pixel, 0);
    EXPECT_EQ(initial_format.width, 0u);
    EXPECT_EQ(initial_format.height, 0u);
    EXPECT_EQ(initial_format.fill_color, 0u);
    TestSurface s(RGB_888_4);
    pixel_format = initial_format;
    pixel_format.pixels = s.bytes.data();
    pixel_format.pitch = s.pitch;
    put_pixel(0, 0, 255, 255, 255);
    put_pixel(1, 1, 255, 255, 255);
    for (int32_t bpp : {0, 5, 8, -1}) {
        set_pixel_layout(bpp, 0xFF0000, 0xFF00, 0xFF, 640, 480);
        put_pixel(2, 2, 255, 255, 255);
    }
    EXPECT_TRUE(s.untouched());
    // A new layout drops the opaque bits of the one before.
    TestSurface canvas(CANVAS_RGBA);
    set_pixel_layout(4, 0xFF0000, 0xFF00, 0xFF, 640, 480);
    EXPECT_EQ(pack_color(pixel_format, 0, 0, 0), 0u);
}

TEST(FixedPalette, LevelsAndNamedEntries) {
    const uint8_t levels3[8] = {0, 36, 72, 109, 145, 182, 218, 255};
    const uint8_t levels2[4] = {0, 85, 170, 255};
    for (int i = 0; i < 256; ++i) {
        const PaletteRgb c = fixed_palette_color(static_cast<uint8_t>(i));
        ASSERT_EQ(c.red, levels3[i >> 5]) << i;
        ASSERT_EQ(c.green, levels3[i >> 2 & 7]) << i;
        ASSERT_EQ(c.blue, levels2[i & 3]) << i;
    }
    const struct { uint8_t index, r, g, b; } named[] = {
        {0x00, 0, 0, 0},   {0xFF, 255, 255, 255}, {0xE0, 255, 0, 0},
        {0x1C, 0, 255, 0}, {0x03, 0, 0, 255},     {0x8B, 145, 72, 255},
    };
    for (const auto& n : named) {
        const PaletteRgb c = fixed_palette_color(n.index);
        EXPECT_EQ(c.red, n.r);
        EXPECT_EQ(c.green, n.g);
        EXPECT_EQ(c.blue, n.b);
    }
}

}  // namespace
