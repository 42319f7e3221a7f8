// Where the 640 x 480 frame goes in a drawable of any size, and how it is scaled to get there.
//
// A drawable at least as large as the frame shows it enlarged by a whole factor k (each frame
// pixel a k x k block, so nothing is filtered and a scaled frame compares byte for byte with
// the unscaled one), centred, black around. A drawable smaller than the frame, such as a
// settings dialog's preview, shows the whole frame reduced, keeping its shape. Every front-end
// places the frame through this one rule.
#pragma once

#include <cstdint>

#include "world.h"

// The frame is the world, cell for pixel.
constexpr int32_t FRAME_WIDTH = WORLD_WIDTH;
constexpr int32_t FRAME_HEIGHT = WORLD_HEIGHT;

// A scale request: FRAME_FILL takes the largest whole factor that fits; N >= 1 takes at most N
// (fewer where N does not fit); FRAME_ACTUAL is the frame at its own pixels.
constexpr int32_t FRAME_FILL = 0;
constexpr int32_t FRAME_ACTUAL = 1;
// The largest factor asked for by number: 16 x 640 is wider than any screen made.
constexpr int32_t FRAME_MAX_FACTOR = 16;

struct FrameFit {
    int32_t left;    // the frame's top-left corner in the drawable, never negative
    int32_t top;
    int32_t width;   // its size there: factor x 640 by factor x 480, or less when reduced
    int32_t height;
    int32_t factor;  // the whole enlargement; 1 when actual or reduced
    bool reduced;    // the drawable is smaller than the frame
};

// The frame in a drawable of drawable_width x drawable_height pixels for a scale request
// (FRAME_FILL, or 1 to FRAME_MAX_FACTOR; anything else counts as FRAME_FILL above the maximum
// and as FRAME_ACTUAL below 0). Halves drop their fraction; sizes below 1 count as 1.
FrameFit fit_frame(int32_t drawable_width, int32_t drawable_height, int32_t scale_request);

// One row of the frame (640 pixels of bytes_per_pixel) enlarged by factor along the row: each
// pixel repeated factor times. Writers that stream rows repeat the result factor times.
void enlarge_row(const uint8_t* source, int32_t bytes_per_pixel, int32_t factor, uint8_t* target);

// The frame (640 x 480 pixels of bytes_per_pixel 1 to 4, source_pitch bytes a row) enlarged by
// factor into target (at the frame's top-left corner, target_pitch bytes a row): pixel (x, y)
// becomes the factor x factor block at (factor x, factor y).
void enlarge_frame(const uint8_t* source, int32_t source_pitch, int32_t bytes_per_pixel,
                   int32_t factor, uint8_t* target, int32_t target_pitch);

// A rectangle of the frame, in its pixels; empty when width or height is 0.
struct FrameArea {
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
};

constexpr FrameArea WHOLE_FRAME = {0, 0, FRAME_WIDTH, FRAME_HEIGHT};

// Only an area of the frame (inside it) enlarged as enlarge_frame does: the blocks of its
// pixels written, the rest of target left as it was. A writer that keeps its last picture
// rewrites only what changed.
void enlarge_frame_area(const uint8_t* source, int32_t source_pitch, int32_t bytes_per_pixel,
                        int32_t factor, const FrameArea& area, uint8_t* target,
                        int32_t target_pitch);

// The frame reduced to fit.width x fit.height into target: each target pixel takes the source
// pixel under its centre.
void reduce_frame(const uint8_t* source, int32_t source_pitch, int32_t bytes_per_pixel,
                  const FrameFit& fit, uint8_t* target, int32_t target_pitch);
