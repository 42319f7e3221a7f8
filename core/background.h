// The background: a 320 x 256 area of palette colours, chosen by a pattern rule and pushed
// sideways row by row by a travelling sine wave, drawn behind everything each frame.
#pragma once

#include <cstdint>

// Pattern rules for the palette index of area cell (column, row); sums are modulo 256. Any
// value above PATTERN_RINGS is drawn as PATTERN_FLAT.
enum : uint8_t {
    PATTERN_FLAT = 0,     // color_offset
    PATTERN_COLUMNS = 1,  // color_offset + column
    PATTERN_ROWS = 2,     // color_offset + row
    PATTERN_RINGS = 3,    // distance from the area's centre
};

enum : int32_t {
    ROW_WAVE = 0,
    COLUMN_WAVE = 1,
};

struct BackgroundColor {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
};

struct Background {
    int32_t area_width;   // 320
    int32_t area_height;  // 256
    int32_t centre_x;     // 160
    int32_t centre_y;     // 128
    uint8_t color_offset;
    uint8_t pattern;
    BackgroundColor colors[256];
    uint8_t row_phase;
    int32_t row_wave[256];     // horizontal displacement, indexed by row + row_phase
    int32_t column_phase;      // only the low byte is used
    int32_t column_wave[256];  // vertical displacement, indexed by column + column_phase
};

extern Background background;

// Restores the initial state: area, centre, black palette, flat pattern, zero waves.
// The same state is the record's static initialiser; tests call this for a fresh start.
// Fields may also be changed directly: the drawing notices every change.
void init_background();

// Fills count entries from first (wrapping past 255) with a single-precision linear ramp
// (only the low bytes of first and the colours count). A count of 0 or less fills nothing;
// a count of 1 gives the entry colour 0.
void set_palette_ramp(int32_t first, int32_t count, int32_t red0, int32_t green0, int32_t blue0,
                      int32_t red1, int32_t green1, int32_t blue1);

// Fills count entries of ROW_WAVE or COLUMN_WAVE from first with amplitude * sin(angle), the
// angle running from `from` in steps of (to - from) / count degrees. Entry (first mod 256) +
// (i mod 256) is not wrapped: entries past 255 are skipped. Other selectors fill nothing.
void fill_wave_table(float from, float to, int32_t first, int32_t count, int32_t amplitude,
                     int32_t selector);

// Sets both phase bytes from the wave phase and draws the whole area into the locked surface
// through the pixel packing; pixels off the surface are dropped.
void draw_background(double wave_phase);
