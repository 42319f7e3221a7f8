// Starting the animation and running its frames: the one sequence behind every front-end. A
// front-end owns a surface (locked DirectDraw memory, an X image, a canvas, a buffer in memory)
// and a millisecond tick; the core does the rest.
#pragma once

#include <cstdint>

// How a surface packs a colour: bytes per pixel and the three channel masks.
struct SurfaceLayout {
    int32_t bytes_per_pixel;
    uint32_t red_mask;
    uint32_t green_mask;
    uint32_t blue_mask;
};

// The layout of a plain surface of the given depth: 8 bits the fixed 3-3-2 palette, 16 bits
// 5-6-5, 24 and 32 bits 8-8-8 (red highest). Zero bytes for any other depth.
SurfaceLayout layout_for_depth(int bits_per_pixel);

// A fresh animation: the world, background and scene reset, the surface layout set, the clock
// started at start_tick, and the scene built.
void start_animation(const SurfaceLayout& layout, uint32_t start_tick);

// For a surface whose alpha must read opaque (a canvas): bits set in every pixel stored and in
// the black fill. start_animation clears them; call this after it.
void set_opaque_bits(uint32_t bits);

// Fills width x height pixels of a surface with the layout's fill colour (black).
void clear_frame(uint8_t* pixels, int32_t pitch);

// That fill colour as a packed value, for a front-end whose surfaces the platform fills.
uint32_t frame_fill_color();

// One frame into the surface at pixels (pitch bytes a row), the clock advanced to now_tick.
void run_animation_frame(uint8_t* pixels, int32_t pitch, uint32_t now_tick);

// One frame with a fixed step instead of a clock: the renderer's and the tests' frames.
void run_animation_step(uint8_t* pixels, int32_t pitch, float dt);
