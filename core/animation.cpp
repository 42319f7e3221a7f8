// The start-up and frame sequence shared by every front-end.
#include "animation.h"

#include <cstring>

#include "background.h"
#include "fixed_palette.h"
#include "frame_clock.h"
#include "frame_update.h"
#include "pixel_format.h"
#include "scene.h"
#include "world.h"

SurfaceLayout layout_for_depth(int bits_per_pixel) {
    switch (bits_per_pixel) {
    case 8: return {1, PALETTE_RED_MASK, PALETTE_GREEN_MASK, PALETTE_BLUE_MASK};
    case 16: return {2, 0xF800, 0x07E0, 0x001F};
    case 24: return {3, 0xFF0000, 0x00FF00, 0x0000FF};
    case 32: return {4, 0xFF0000, 0x00FF00, 0x0000FF};
    default: return {0, 0, 0, 0};
    }
}

void start_animation(const SurfaceLayout& layout, uint32_t start_tick) {
    init_world();
    init_background();
    reset_scene();
    set_pixel_layout(layout.bytes_per_pixel, layout.red_mask, layout.green_mask, layout.blue_mask,
                     WORLD_WIDTH, WORLD_HEIGHT);
    reset_frame_clock(start_tick);
    build_scene();
}

void set_opaque_bits(uint32_t bits) {
    pixel_format.opaque_bits = bits;
    pixel_format.fill_color = bits;
}

void clear_frame(uint8_t* pixels, int32_t pitch) {
    PixelFormat format = pixel_format;
    format.pixels = pixels;
    format.pitch = pitch;
    const size_t row = static_cast<size_t>(format.width) * format.bytes_per_pixel;
    if (format.fill_color == 0) {
        for (uint32_t y = 0; y < format.height; ++y)
            std::memset(pixels + static_cast<intptr_t>(y) * pitch, 0, row);
        return;
    }
    // Any other fill: the first row pixel by pixel, the others copies of it.
    if (format.height == 0) return;
    for (uint32_t x = 0; x < format.width; ++x) store_pixel(format, x, 0, format.fill_color);
    for (uint32_t y = 1; y < format.height; ++y)
        std::memcpy(pixels + static_cast<intptr_t>(y) * pitch, pixels, row);
}

uint32_t frame_fill_color() { return pixel_format.fill_color; }

// The frame itself, once the clock has its dt.
static void draw_into(uint8_t* pixels, int32_t pitch) {
    pixel_format.pixels = pixels;
    pixel_format.pitch = pitch;
    update_frame();
}

void run_animation_frame(uint8_t* pixels, int32_t pitch, uint32_t now_tick) {
    advance_frame_clock(now_tick);
    draw_into(pixels, pitch);
}

void run_animation_step(uint8_t* pixels, int32_t pitch, float dt) {
    frame_clock.dt = dt;
    draw_into(pixels, pitch);
}
