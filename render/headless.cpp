// The headless frame loop: what the saver procedure does per frame, minus the screen.
#include "headless.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "animation.h"
#include "fixed_palette.h"
#include "scene.h"
#include "world.h"

static uint8_t surface_memory[FRAME_WIDTH * FRAME_HEIGHT * 4];
static HeadlessRun the_run;
static SurfaceLayout the_layout;  // how the run's surface packs a colour

bool headless_layout_supported(int bits_per_pixel) {
    return bits_per_pixel == 8 || bits_per_pixel == 16 || bits_per_pixel == 24 ||
           bits_per_pixel == 32;
}

HeadlessRun* headless_start(int bits_per_pixel) {
    if (!headless_layout_supported(bits_per_pixel)) return nullptr;
    the_run.bits_per_pixel = bits_per_pixel;
    the_run.pitch = FRAME_WIDTH * (bits_per_pixel / 8);
    the_run.frames = 0;
    the_run.surface = surface_memory;
    std::memset(surface_memory, 0, sizeof surface_memory);
    the_layout = layout_for_depth(bits_per_pixel);
    start_animation(the_layout, 0);
    return &the_run;
}

size_t headless_surface_size(const HeadlessRun* run) {
    return static_cast<size_t>(run->pitch) * FRAME_HEIGHT;
}

void headless_frame(HeadlessRun* run, float dt) {
    clear_frame(run->surface, run->pitch);
    run_animation_step(run->surface, run->pitch, dt);
    ++run->frames;
}

uint64_t fnv1a64(const uint8_t* bytes, size_t size) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 0x100000001b3ull;
    }
    return hash;
}

int headless_summary(const HeadlessRun* run, char* text, size_t size) {
    uint64_t hash = fnv1a64(run->surface, headless_surface_size(run));
    return std::snprintf(text, size,
                         "frames=%" PRId64 " count=%" PRId32 " origin=%" PRId32 ",%" PRId32
                         " orbit=%.17g wave=%.17g fnv=%016" PRIx64,
                         run->frames, world.pool.count, scene.origin_x, scene.origin_y,
                         scene.orbit_angle, scene.wave_phase, hash);
}

// A channel's bits, moved down and scaled so that all bits set give 255.
static uint8_t expand_channel(uint32_t value, uint32_t mask) {
    if (mask == 0) return 0;
    int low = 0;
    while (((mask >> low) & 1u) == 0) ++low;
    uint32_t top = mask >> low;
    uint32_t raw = (value & mask) >> low;
    return static_cast<uint8_t>((raw * 255u + top / 2) / top);
}

void headless_pixel_rgb(const HeadlessRun* run, int x, int y, uint8_t rgb[3]) {
    int bytes = run->bits_per_pixel / 8;
    const uint8_t* at = run->surface + static_cast<size_t>(y) * run->pitch +
                        static_cast<size_t>(x) * bytes;
    if (bytes == 1) {
        PaletteRgb c = fixed_palette_color(at[0]);
        rgb[0] = c.red;
        rgb[1] = c.green;
        rgb[2] = c.blue;
        return;
    }
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= static_cast<uint32_t>(at[i]) << (8 * i);
    rgb[0] = expand_channel(value, the_layout.red_mask);
    rgb[1] = expand_channel(value, the_layout.green_mask);
    rgb[2] = expand_channel(value, the_layout.blue_mask);
}
