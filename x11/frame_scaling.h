// Who enlarges the frame, and how far. Where the server can scale a picture (RENDER, on a
// TrueColor window) the program sends the 640 x 480 frame and the server enlarges it by any
// factor asked; elsewhere the program enlarges it itself into a buffer of its own, sized for
// SOFTWARE_MAX_FACTOR: a 2560 x 1920 frame, which is what a 3840 x 2160 screen takes.
#pragma once

#include <cstdint>

#include "frame_fit.h"

constexpr int32_t SOFTWARE_MAX_FACTOR = 4;

// The request to place the frame with (see fit_frame): the one asked where the server scales,
// else the same bounded by SOFTWARE_MAX_FACTOR (fill included).
int32_t window_scale_request(int32_t asked, bool server_scales);

// The step of the server's transform for an enlargement by factor: window pixels to frame
// pixels, 1 / factor in 16.16 fixed point, rounded to the nearest. Truncated (as XDoubleToFixed
// does), 640 x 9 pixels drift by more than half a window pixel and whole columns shift.
int32_t server_scale_step(int32_t factor);
