// Where the 640x480 frame goes in a window of any size: centred at full size where it fits,
// otherwise scaled down, keeping its shape, to the largest size that fits, and centred.
// The rest of the window is black.
#pragma once

#include <cstdint>

constexpr int FRAME_WIDTH = 640;
constexpr int FRAME_HEIGHT = 480;

struct Placement {
    int x;  // top-left corner in the window (negative never)
    int y;
    int width;  // the frame's size on screen: 640x480 unless scaled
    int height;
    bool scaled;
};

Placement place_frame(int window_width, int window_height);

// Nearest-neighbour reduction of the frame (640x480, bytes_per_pixel 1..4, source_pitch bytes a
// row) to placement's size, each target pixel taking the source pixel under its centre.
void scale_frame(const uint8_t* source, int source_pitch, int bytes_per_pixel,
                 const Placement& placement, uint8_t* target, int target_pitch);
