// The background: its initial state, the palette ramps and wave tables that the scene fills
// once, and the per-frame drawing.
//
// Drawing is the largest part of a frame (81,920 pixels), so it keeps the packed area between
// frames: the pixel value of every area cell depends only on the pattern, the centre, the
// palette and the surface layout, never on the wave. While the column wave is flat (it always
// is: nothing fills it) each area row lands on one surface row as one unbroken run, so a frame
// is 256 clipped row copies out of that image. Anything unusual (a column wave that is not
// flat, an area larger than the image) is drawn pixel by pixel exactly as the rule reads.
#include "background.h"

#include <cmath>
#include <cstring>

#include "pixel_format.h"
#include "world.h"

namespace {

constexpr Background INITIAL_BACKGROUND = {
    320, 256,         // area
    160, 128,         // centre
    0, PATTERN_FLAT,  // colour offset, pattern
    {},               // every palette entry black
    0, {},            // row phase and wave
    0, {},            // column phase and wave
};

// The area's centre falls on this surface pixel before displacement.
constexpr uint32_t AREA_ANCHOR_X = WORLD_WIDTH / 2;
constexpr uint32_t AREA_ANCHOR_Y = WORLD_HEIGHT / 2;

constexpr int32_t IMAGE_COLUMNS = 320;
constexpr int32_t IMAGE_ROWS = 256;

// Everything the packed area image depends on.
struct ImageKey {
    int32_t area_width;
    int32_t area_height;
    int32_t centre_x;
    int32_t centre_y;
    uint8_t color_offset;
    uint8_t pattern;
    int32_t bytes_per_pixel;
    uint32_t masks[3];
    int32_t shifts[3];
    uint32_t opaque_bits;
    BackgroundColor colors[256];
};

struct AreaImage {
    bool valid;
    ImageKey key;
    uint8_t pixels[IMAGE_ROWS * IMAGE_COLUMNS * 4];  // rows of area_width packed pixels
};

AreaImage area_image;

// Truncation toward zero into int32, defined for every double: out-of-range values saturate
// and NaN gives 0.
int32_t truncate_to_int32(double value) {
    if (!(value == value)) return 0;
    if (value >= 2147483647.0) return INT32_MAX;
    if (value <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(value);
}

// Phase byte = low byte of the complement of the truncated phase. Truncating to 64 bits keeps
// the wave travelling past 2^31 (some seven years of running) where 32 bits would overflow.
uint8_t phase_byte(double wave_phase) {
    int64_t whole = 0;
    if (wave_phase > -9.0e18 && wave_phase < 9.0e18) whole = static_cast<int64_t>(wave_phase);
    return static_cast<uint8_t>(~whole);
}

// Distance from the centre, truncated. The squares are summed in 32 bits with wrap-around;
// a sum that wraps negative has no square root and gives index 0.
uint8_t ring_index(int32_t c, int32_t r, int32_t centre_x, int32_t centre_y) {
    const uint32_t dx = static_cast<uint32_t>(c) - static_cast<uint32_t>(centre_x);
    const uint32_t dy = static_cast<uint32_t>(r) - static_cast<uint32_t>(centre_y);
    const int32_t sum = static_cast<int32_t>(dx * dx + dy * dy);
    if (sum < 0) return 0;
    return static_cast<uint8_t>(static_cast<int32_t>(std::sqrt(static_cast<double>(sum))));
}

// Palette index of area cell (c, r). A pattern above PATTERN_RINGS is drawn flat.
uint8_t pattern_index(const Background& bg, int32_t c, int32_t r) {
    switch (bg.pattern) {
    case PATTERN_COLUMNS: return static_cast<uint8_t>(bg.color_offset + c);
    case PATTERN_ROWS: return static_cast<uint8_t>(bg.color_offset + r);
    case PATTERN_RINGS: return ring_index(c, r, bg.centre_x, bg.centre_y);
    default: return bg.color_offset;
    }
}

// Keys are built, kept and compared bytewise, padding included (cleared here).
void read_key(ImageKey& key) {
    std::memset(&key, 0, sizeof key);
    key.area_width = background.area_width;
    key.area_height = background.area_height;
    key.centre_x = background.centre_x;
    key.centre_y = background.centre_y;
    key.color_offset = background.color_offset;
    key.pattern = background.pattern;
    key.bytes_per_pixel = pixel_format.bytes_per_pixel;
    key.masks[0] = pixel_format.red_mask;
    key.masks[1] = pixel_format.green_mask;
    key.masks[2] = pixel_format.blue_mask;
    key.shifts[0] = pixel_format.red_shift;
    key.shifts[1] = pixel_format.green_shift;
    key.shifts[2] = pixel_format.blue_shift;
    key.opaque_bits = pixel_format.opaque_bits;
    std::memcpy(key.colors, background.colors, sizeof key.colors);
}

// Repacks the area image when anything it depends on has changed since the last frame.
void refresh_area_image() {
    ImageKey key;
    read_key(key);
    if (area_image.valid && std::memcmp(&key, &area_image.key, sizeof key) == 0) return;

    uint32_t packed[256];
    for (int i = 0; i < 256; ++i) {
        const BackgroundColor& color = background.colors[i];
        packed[i] = pack_color(pixel_format, color.red, color.green, color.blue);
    }
    // The image is stored through the surface's own store, so its bytes are the surface's.
    PixelFormat image = pixel_format;
    image.pixels = area_image.pixels;
    image.pitch = key.area_width * key.bytes_per_pixel;
    for (int32_t r = 0; r < key.area_height; ++r) {
        for (int32_t c = 0; c < key.area_width; ++c) {
            store_pixel(image, static_cast<uint32_t>(c), static_cast<uint32_t>(r),
                        packed[pattern_index(background, c, r)]);
        }
    }
    std::memcpy(&area_image.key, &key, sizeof key);
    area_image.valid = true;
}

// Horizontal displacement of area row r at the current phase.
uint32_t row_shift(int32_t r) {
    const uint8_t entry = static_cast<uint8_t>(background.row_phase + r);
    return static_cast<uint32_t>(background.row_wave[entry]);
}

bool column_wave_is_flat() {
    for (int i = 1; i < 256; ++i) {
        if (background.column_wave[i] != background.column_wave[0]) return false;
    }
    return true;
}

// The fast path holds where its row runs are provably the same stores as the pixel rule: the
// area fits the image, the column wave moves every pixel of a row to the same surface row
// (so no two pixels of a frame meet), and the surface is narrow enough that a run's clipped
// part is one interval.
bool can_draw_runs() {
    return background.area_width <= IMAGE_COLUMNS && background.area_height <= IMAGE_ROWS &&
           pixel_format.width <= 0x80000000u && column_wave_is_flat();
}

void draw_runs(uint32_t x0, uint32_t y0) {
    refresh_area_image();
    const Background& bg = background;
    const int64_t bpp = pixel_format.bytes_per_pixel;
    const int64_t columns = bg.area_width;
    const uint32_t shift_y = static_cast<uint32_t>(bg.column_wave[0]);
    for (int32_t r = 0; r < bg.area_height; ++r) {
        const uint32_t y = static_cast<uint32_t>(r) + shift_y + y0;
        if (y >= pixel_format.height) continue;
        // Area column c lands on surface column left + c (mod 2^32); with width <= 2^31 the
        // stored ones are exactly those with 0 <= left + c < width.
        const uint32_t shift_x = row_shift(r);
        const int64_t left = static_cast<int32_t>(shift_x + x0);
        const int64_t lo = left < 0 ? -left : 0;
        const int64_t room = static_cast<int64_t>(pixel_format.width) - left;
        const int64_t hi = room < columns ? room : columns;
        if (lo >= hi) continue;
        uint8_t* to = pixel_format.pixels + static_cast<intptr_t>(y) * pixel_format.pitch +
                      static_cast<intptr_t>(left + lo) * bpp;
        const uint8_t* from = area_image.pixels + (r * columns + lo) * bpp;
        std::memcpy(to, from, static_cast<size_t>((hi - lo) * bpp));
    }
}

// The rule as it reads: rows outer, columns inner, one put_pixel per cell.
void draw_each_pixel(uint32_t x0, uint32_t y0) {
    const Background& bg = background;
    const uint8_t column_phase = static_cast<uint8_t>(bg.column_phase);
    for (int32_t r = 0; r < bg.area_height; ++r) {
        const uint32_t shift_x = row_shift(r);
        for (int32_t c = 0; c < bg.area_width; ++c) {
            const BackgroundColor& color = bg.colors[pattern_index(bg, c, r)];
            const uint32_t shift_y =
                static_cast<uint32_t>(bg.column_wave[static_cast<uint8_t>(column_phase + c)]);
            put_pixel(static_cast<uint32_t>(c) + shift_x + x0,
                      static_cast<uint32_t>(r) + shift_y + y0, color.red, color.green, color.blue);
        }
    }
}

}  // namespace

Background background = INITIAL_BACKGROUND;

void init_background() {
    background = INITIAL_BACKGROUND;
    area_image.valid = false;
}

void set_palette_ramp(int32_t first, int32_t count, int32_t red0, int32_t green0, int32_t blue0,
                      int32_t red1, int32_t green1, int32_t blue1) {
    if (count <= 0) return;
    const uint8_t ends[2][3] = {
        {static_cast<uint8_t>(red0), static_cast<uint8_t>(green0), static_cast<uint8_t>(blue0)},
        {static_cast<uint8_t>(red1), static_cast<uint8_t>(green1), static_cast<uint8_t>(blue1)},
    };
    float start[3];
    float step[3];
    for (int ch = 0; ch < 3; ++ch) {
        start[ch] = static_cast<float>(ends[0][ch]);
        // The step is rounded to single precision, so a ramp need not end exactly on colour 1.
        // A one-entry ramp would divide by zero; it is given colour 0.
        step[ch] = count == 1 ? 0.0f
                              : static_cast<float>((static_cast<double>(ends[1][ch]) -
                                                    static_cast<double>(start[ch])) /
                                                   static_cast<double>(count - 1));
    }
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t index =
            static_cast<uint8_t>(static_cast<uint32_t>(first) + static_cast<uint32_t>(i));
        uint8_t* entry = &background.colors[index].red;
        for (int ch = 0; ch < 3; ++ch) {
            const double value = static_cast<double>(start[ch]) +
                                 static_cast<double>(i) * static_cast<double>(step[ch]);
            entry[ch] = static_cast<uint8_t>(truncate_to_int32(value));
        }
    }
}

void fill_wave_table(float from, float to, int32_t first, int32_t count, int32_t amplitude,
                     int32_t selector) {
    int32_t* table;
    switch (static_cast<uint8_t>(selector)) {
    case ROW_WAVE: table = background.row_wave; break;
    case COLUMN_WAVE: table = background.column_wave; break;
    default: return;  // no such table: nothing is filled
    }
    if (count <= 0) return;
    const float step = static_cast<float>((static_cast<double>(to) - static_cast<double>(from)) /
                                          static_cast<double>(count));
    const uint32_t base = static_cast<uint8_t>(first);
    for (int32_t i = 0; i < count; ++i) {
        // The index is not wrapped: entries past the table's end are the caller's error and
        // are skipped, not written.
        const uint32_t entry = base + (static_cast<uint32_t>(i) & 255u);
        if (entry >= 256) continue;
        const double angle =
            static_cast<double>(from) + static_cast<double>(i) * static_cast<double>(step);
        const double value = static_cast<double>(amplitude) * std::sin(angle * DEG_TO_RAD);
        table[entry] = truncate_to_int32(value);
    }
}

void draw_background(double wave_phase) {
    const uint8_t phase = phase_byte(wave_phase);
    background.row_phase = phase;
    background.column_phase =
        static_cast<int32_t>((static_cast<uint32_t>(background.column_phase) & ~0xFFu) | phase);

    const int32_t bpp = pixel_format.bytes_per_pixel;
    if (bpp < 1 || bpp > 4) return;  // no layout: put_pixel would store nothing
    const uint32_t x0 = AREA_ANCHOR_X - static_cast<uint32_t>(background.centre_x);
    const uint32_t y0 = AREA_ANCHOR_Y - static_cast<uint32_t>(background.centre_y);
    if (can_draw_runs()) {
        draw_runs(x0, y0);
    } else {
        draw_each_pixel(x0, y0);
    }
}
