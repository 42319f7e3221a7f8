// The saver's frame loop without a screen: a 640 x 480 surface in memory in one of the four
// layouts, the scene built on a fresh world, and one update per frame with a fixed dt. The
// renderer and the golden-frame tests share it, so both see exactly the same frames.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frame_fit.h"

// 0.016666668: a sixtieth of a second as the 32-bit float nearest to it.
constexpr float HEADLESS_DEFAULT_DT = 1.0f / 60.0f;

struct HeadlessRun {
    int bits_per_pixel;  // 8, 16, 24 or 32
    int pitch;           // tight: 640 * bits_per_pixel / 8
    int64_t frames;      // frames run so far
    uint8_t* surface;    // the surface memory, pitch * 480 bytes
};

// True for the layouts the renderer offers: 8 (3-3-2 palette), 16 (5-6-5), 24 and 32 (8-8-8).
bool headless_layout_supported(int bits_per_pixel);

// Starts a fresh run: the world, background, scene and clock reset, the pixel layout set,
// the scene built. Returns the run over static surface memory (one run at a time).
HeadlessRun* headless_start(int bits_per_pixel);

// One frame: clear the surface to the fill colour, store dt as the frame's dt, update.
void headless_frame(HeadlessRun* run, float dt);

size_t headless_surface_size(const HeadlessRun* run);

// 64-bit FNV-1a over bytes.
uint64_t fnv1a64(const uint8_t* bytes, size_t size);

// The one summary line, without a newline:
// "frames=N count=C origin=X,Y orbit=A wave=W fnv=H". Returns the length written (as snprintf).
int headless_summary(const HeadlessRun* run, char* text, size_t size);

// Decodes pixel (x, y) of the surface to red, green, blue through the run's layout: the fixed
// palette at 8 bits, each mask's bits scaled to 0..255 otherwise.
void headless_pixel_rgb(const HeadlessRun* run, int x, int y, uint8_t rgb[3]);
