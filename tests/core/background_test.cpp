// The background: its initial state, the scene's palette ramps and row wave with their exact
// values, and the drawing checked through real pixels, including against the plain per-pixel
// rule over many random configurations.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "pixel_format.h"
#include "test_surface.h"
#include "background.h"
#include "scene.h"

namespace {

// Captured before any test runs: the record as the program starts.
const Background initial_background = background;

// The background as the scene prepares it.
void scene_background() {
    init_background();
    prepare_scene_background();
}

uint32_t packed(uint8_t index) {
    const BackgroundColor& c = background.colors[index];
    return pack_color(pixel_format, c.red, c.green, c.blue);
}

// The drawing rule read literally, one put_pixel per area cell in row-major order.
void draw_by_the_rule(double wave_phase) {
    Background& bg = background;
    const uint8_t phase = static_cast<uint8_t>(~static_cast<int64_t>(wave_phase));
    bg.row_phase = phase;
    bg.column_phase = static_cast<int32_t>((bg.column_phase & ~0xFF) | phase);
    for (int32_t r = 0; r < bg.area_height; ++r) {
        for (int32_t c = 0; c < bg.area_width; ++c) {
            const int32_t dx = c - bg.centre_x, dy = r - bg.centre_y;
            uint8_t i = bg.color_offset;
            if (bg.pattern == PATTERN_COLUMNS) i = static_cast<uint8_t>(i + c);
            if (bg.pattern == PATTERN_ROWS) i = static_cast<uint8_t>(i + r);
            if (bg.pattern == PATTERN_RINGS) {
                i = static_cast<uint8_t>(static_cast<int32_t>(std::sqrt(double(dx * dx + dy * dy))));
            }
            const int32_t x = c + bg.row_wave[(phase + r) & 255] + 320 - bg.centre_x;
            const int32_t y = r + bg.column_wave[(phase + c) & 255] + 240 - bg.centre_y;
            put_pixel(static_cast<uint32_t>(x), static_cast<uint32_t>(y), bg.colors[i].red,
                      bg.colors[i].green, bg.colors[i].blue);
        }
    }
}

TEST(Background, InitialStateAndReset) {
    const Background& b = initial_background;
    EXPECT_EQ(b.area_width, 320);
    EXPECT_EQ(b.area_height, 256);
    EXPECT_EQ(b.centre_x, 160);
    EXPECT_EQ(b.centre_y, 128);
    EXPECT_EQ(b.color_offset, 0);
    EXPECT_EQ(b.pattern, PATTERN_FLAT);
    EXPECT_EQ(b.row_phase, 0);
    EXPECT_EQ(b.column_phase, 0);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(b.colors[i].red | b.colors[i].green | b.colors[i].blue, 0) << i;
        ASSERT_EQ(b.row_wave[i] | b.column_wave[i], 0) << i;
    }
    scene_background();
    draw_background(3.0);
    init_background();
    EXPECT_EQ(std::memcmp(&background, &initial_background, sizeof background), 0);
}

TEST(PaletteRamp, TheScenesFourRamps) {
    scene_background();
    const struct { int entry; uint8_t r, g, b; } expected[] = {
        {0, 0, 0, 0},       {1, 0, 0, 2},        {2, 1, 1, 4},        {31, 15, 15, 62},
        {32, 16, 16, 65},   {62, 31, 31, 125},   {63, 32, 32, 128},   {64, 32, 32, 128},
        {126, 63, 63, 128}, {127, 64, 64, 128},  {128, 64, 64, 128},  {129, 62, 62, 126},
        {190, 1, 1, 33},    {191, 0, 0, 31},     {192, 0, 0, 32},     {193, 0, 0, 31},
        {204, 0, 0, 25},    {254, 0, 0, 0},      {255, 0, 0, 0},
    };
    for (const auto& e : expected) {
        const BackgroundColor& c = background.colors[e.entry];
        EXPECT_EQ(c.red, e.r) << e.entry;
        EXPECT_EQ(c.green, e.g) << e.entry;
        EXPECT_EQ(c.blue, e.b) << e.entry;
    }
}

TEST(PaletteRamp, WrapsPastTheLastEntryAndReadsLowBytes) {
    init_background();
    for (BackgroundColor& c : background.colors) c = {7, 7, 7};
    set_palette_ramp(250 + 256, 10, 0x300, 0, 0, 90 + 0x1000, 180, 9);  // steps 10, 20, 1
    for (int i = 0; i < 10; ++i) {
        const BackgroundColor& c = background.colors[(250 + i) & 255];
        EXPECT_EQ(c.red, 10 * i) << i;
        EXPECT_EQ(c.green, 20 * i) << i;
        EXPECT_EQ(c.blue, i) << i;
    }
    EXPECT_EQ(background.colors[4].red, 7);
    EXPECT_EQ(background.colors[249].red, 7);

    const Background before = background;
    set_palette_ramp(0, 0, 1, 2, 3, 4, 5, 6);
    set_palette_ramp(0, -5, 1, 2, 3, 4, 5, 6);
    EXPECT_EQ(std::memcmp(&background, &before, sizeof before), 0);
    set_palette_ramp(9, 1, 11, 12, 13, 200, 200, 200);  // one entry: colour 0
    EXPECT_EQ(background.colors[9].red, 11);
    EXPECT_EQ(background.colors[9].green, 12);
    EXPECT_EQ(background.colors[9].blue, 13);
}

TEST(WaveTable, TheScenesRowWave) {
    scene_background();
    const int32_t* w = background.row_wave;
    const int32_t first[9] = {0, 6, 12, 18, 24, 31, 37, 43, 48};
    for (int k = 0; k < 9; ++k) EXPECT_EQ(w[k], first[k]) << k;
    EXPECT_EQ(w[16], 90);
    EXPECT_EQ(w[32], 128);  // exactly: the product rounds up to 128
    EXPECT_EQ(w[64], 0);
    EXPECT_EQ(w[80], -90);
    EXPECT_EQ(w[96], -128);
    for (int k = 0; k < 128; ++k) {
        ASSERT_EQ(w[128 + k], w[k]) << k;
        ASSERT_EQ(background.column_wave[k] | background.column_wave[128 + k], 0) << k;
    }
}

TEST(WaveTable, CountsSelectorsAndTheTablesEnd) {
    scene_background();
    background.column_phase = 0x12345600;
    const Background before = background;
    fill_wave_table(0.0f, 90.0f, 0, 0, 100, ROW_WAVE);
    fill_wave_table(0.0f, 90.0f, 0, -3, 100, ROW_WAVE);
    fill_wave_table(0.0f, 90.0f, 0, 10, 100, 2);  // no such table
    EXPECT_EQ(std::memcmp(&background, &before, sizeof before), 0);

    // Entries past 255 are not written: the column phase and wave behind the row wave stay.
    fill_wave_table(0.0f, 100.0f, 200, 100, 1000, ROW_WAVE);  // i = 56..99 fall off the end
    EXPECT_EQ(background.row_wave[200], 0);
    EXPECT_EQ(background.row_wave[244], 694);  // i = 44: 1000 sin 44 degrees
    EXPECT_EQ(background.row_wave[199], before.row_wave[199]);
    EXPECT_EQ(background.column_phase, 0x12345600);
    for (int k = 0; k < 256; ++k) ASSERT_EQ(background.column_wave[k], 0) << k;

    // i counts modulo 256 in the index: the last writes to an entry win.
    fill_wave_table(0.0f, 300.0f, 0x300, 300, 1000, 0x101);  // low bytes: entry 0, COLUMN_WAVE
    EXPECT_EQ(background.column_wave[0], -970);  // i = 256
    EXPECT_EQ(background.column_wave[43], -874); // i = 299
    EXPECT_EQ(background.column_wave[44], 694);  // i = 44
}

TEST(DrawBackground, SceneAtPhaseZero) {
    scene_background();
    background.column_phase = 0x12345600;
    TestSurface s(RGB_888_4);
    draw_background(0.0);
    EXPECT_EQ(background.row_phase, 255);
    EXPECT_EQ(background.column_phase, 0x123456FF);
    EXPECT_EQ(s.value(154, 112), 0x000019u);  // area (0, 0): row_wave[255] = -6, entry 204
    EXPECT_FALSE(s.touched(153, 112));
    EXPECT_EQ(s.value(160, 113), 0x000019u);  // area (0, 1): row_wave[0] = 0
    EXPECT_EQ(s.value(314, 240), 0x000000u);  // the centre, row_wave[127] = -6: black
    EXPECT_EQ(s.value(467, 367), 0x00001Au);  // area (319, 255): row_wave[254] = -12, entry 203
    for (uint32_t y = 0; y < 480; ++y) {
        uint32_t stored = 0;
        for (uint32_t x = 0; x < 640; ++x) stored += s.touched(x, y);
        ASSERT_EQ(stored, y >= 112 && y < 368 ? 320u : 0u) << y;
    }
}

TEST(DrawBackground, PhaseByteFollowsTheTruncatedPhase) {
    scene_background();
    TestSurface s(RGB_888_4);
    draw_background(25.9);
    EXPECT_EQ(background.row_phase, 230);
    EXPECT_EQ(s.value(38, 112), 0x000019u);   // area (0, 0): row_wave[230] = -122
    EXPECT_EQ(s.value(160, 138), packed(189));  // area (0, 26): row_wave[0] = 0, radius 189.7
    const struct { double phase; uint8_t byte; } phases[] = {
        {-0.5, 255}, {-1.5, 0}, {255.99, 0}, {256.0, 255}, {1e12 + 3, 252},
    };
    for (const auto& p : phases) {
        draw_background(p.phase);
        EXPECT_EQ(background.row_phase, p.byte) << p.phase;
        EXPECT_EQ(background.column_phase, p.byte) << p.phase;
    }
}

// A grey ramp makes each palette index its own colour: entry i is (i, i, i).
TEST(DrawBackground, OtherPatternsAndAColumnWave) {
    scene_background();
    set_palette_ramp(0, 256, 0, 0, 0, 255, 255, 255);
    background.color_offset = 250;
    const struct { uint8_t pattern; uint32_t at_10_1, at_0_0; } cases[] = {
        {PATTERN_FLAT, 250, 250}, {PATTERN_COLUMNS, 4, 250}, {PATTERN_ROWS, 251, 250},
        {PATTERN_RINGS, 196, 204}, {7, 250, 250},  // above the last pattern: flat
    };
    for (const auto& c : cases) {
        background.pattern = c.pattern;
        TestSurface s(RGB_888_4);
        draw_background(0.0);
        EXPECT_EQ(s.value(170, 113), c.at_10_1 * 0x010101u) << int(c.pattern);
        EXPECT_EQ(s.value(154, 112), c.at_0_0 * 0x010101u) << int(c.pattern);
    }
    // Column 0 reads column_wave[255] at phase 0: it alone moves down three rows.
    background.pattern = PATTERN_FLAT;
    background.column_wave[255] = 3;
    TestSurface s(RGB_888_4);
    draw_background(0.0);
    EXPECT_FALSE(s.touched(154, 112));
    EXPECT_EQ(s.value(154, 115), 250 * 0x010101u);
    EXPECT_EQ(s.value(155, 112), 250 * 0x010101u);
    EXPECT_EQ(s.value(148, 370), 250 * 0x010101u);  // area (0, 255): row_wave[254] = -12
}

TEST(DrawBackground, NothingStoredWithoutALayout) {
    scene_background();
    TestSurface s(RGB_888_4);
    set_pixel_layout(0, 0, 0, 0, 640, 480);
    draw_background(40.0);
    EXPECT_EQ(background.row_phase, 215);
    for (uint8_t b : s.bytes) ASSERT_EQ(b, UNTOUCHED);
}

// The frame drawing must store exactly what the plain rule stores, whatever the state:
// random layouts, surface sizes, patterns, centres, palettes, waves and phases, with the state
// changed between frames.
TEST(DrawBackground, SameBytesAsThePixelRule) {
    std::mt19937 rng(2024);
    auto pick = [&rng](int32_t lo, int32_t hi) {
        return lo + static_cast<int32_t>(rng() % static_cast<uint32_t>(hi - lo + 1));
    };
    for (int trial = 0; trial < 120; ++trial) {
        scene_background();
        const int32_t bpp = pick(1, 4);
        const uint32_t width = trial % 3 ? 640 : static_cast<uint32_t>(pick(1, 700));
        const uint32_t height = trial % 3 ? 480 : static_cast<uint32_t>(pick(1, 500));
        background.pattern = static_cast<uint8_t>(pick(0, 5));
        background.color_offset = static_cast<uint8_t>(rng());
        if (trial % 4 == 1) {
            background.centre_x = pick(-400, 700);
            background.centre_y = pick(-400, 700);
        }
        if (trial % 5 == 2) {  // larger than the usual area
            background.area_width = pick(0, 400);
            background.area_height = pick(0, 300);
        }
        if (trial % 2) {
            const int32_t amplitude = pick(0, 800);
            for (int32_t& w : background.row_wave) w = pick(-amplitude, amplitude);
        }
        if (trial % 3 == 1) {
            const int32_t shift = pick(-300, 300);
            for (int32_t& w : background.column_wave) w = shift;
        }
        if (trial % 7 == 3) fill_wave_table(0.0f, 720.0f, 0, 256, pick(1, 40), COLUMN_WAVE);
        // Frame 3 changes nothing but, at 4 bytes, the opaque bits of the layout (the canvas's
        // alpha): the kept area image must not outlive them.
        for (int frame = 0; frame < 4; ++frame) {
            if (frame == 1) background.colors[rng() & 255] = {1, 2, 3};
            if (frame == 2) background.pattern = static_cast<uint8_t>(pick(0, 4));
            Layout layout = LAYOUTS[bpp - 1];
            if (frame == 3 && bpp == 4) layout.opaque_bits = 0xFF000000;
            const double phase = pick(-1000, 100000) / 7.0;
            TestSurface expected(layout, width, height);
            draw_by_the_rule(phase);
            TestSurface actual(layout, width, height);
            draw_background(phase);
            ASSERT_TRUE(expected.bytes == actual.bytes) << "trial " << trial << " frame " << frame;
        }
    }
}

}  // namespace
