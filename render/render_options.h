// The renderer's command line.
#pragma once

#include <cstdint>
#include <string>

constexpr int64_t RENDER_MAX_FRAMES = 10000000;  // some 46 hours of animation at 60 frames

struct RenderOptions {
    int64_t frames = 1;
    float dt = 0.0f;  // set from the default text by parse_render_options
    int bits_per_pixel = 32;
    std::string png, gif, raw, grains;
    int64_t gif_every = 1;
    bool help = false;
};

// Parses argv[1..]. On failure returns false with a one-line message (no program name, no
// newline) in error.
bool parse_render_options(int argc, char** argv, RenderOptions& options, std::string& error);

extern const char RENDER_USAGE[];
