// The renderer's command line.
#pragma once

#include <cstdint>

#include "message.h"


// The outputs, in the order their files are written; each is a name from argv, or nullptr.
enum { OUTPUT_PNG, OUTPUT_RAW, OUTPUT_GRAINS, OUTPUT_GIF, OUTPUT_COUNT };

struct RenderOptions {
    int64_t frames = 1;
    float dt = 0.0f;  // set from the default text by parse_render_options
    int bits_per_pixel = 32;
    const char* outputs[OUTPUT_COUNT] = {};
    int64_t gif_every = 1;
    int scale = 1;  // every image output at this whole factor (the summary line stays 1x)
    bool help = false;
};

// The flag that names each output, for messages.
extern const char* const OUTPUT_FLAGS[OUTPUT_COUNT];

// Parses argv[1..]. On failure returns false with a one-line message (no program name, no
// newline) in error. Two outputs with the same name are refused here; names that differ but
// reach the same file are found once the file system is asked (output_same).
bool parse_render_options(int argc, char** argv, RenderOptions& options, Message& error);

extern const char RENDER_USAGE[];
