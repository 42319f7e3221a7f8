// Where the frame and the error line stand on a desktop of one or more monitors, and how large
// the frame is drawn there.
//
// The saver window covers the virtual screen, every monitor, so that all but the primary stay
// black and input on any of them reaches the saver. The frame is presented on DirectDraw's
// primary surface, which is the primary monitor alone: its (0, 0) is the primary's top-left
// corner, the origin of screen coordinates, and the frame stands in the primary's middle,
// enlarged by a whole factor (frame_fit.h). The error line is drawn into the window, in client
// coordinates, whose origin is the virtual screen's top-left corner; a monitor left of or above
// the primary puts that corner at negative screen coordinates, and the line moves right or down
// by as much to stay on the primary.
//
// The factor follows the desktop's scale, so that the frame keeps the size it has in the
// desktop's own units (the program is DPI aware and draws in real pixels): the whole part of
// dpi / 96, so 96 and 144 DPI give 1, 192 gives 2, 288 gives 3. The user's setting may ask for
// the largest factor that fits the primary monitor instead.
#pragma once

#include <cstdint>

struct PlacedRect {
    int32_t left, top, right, bottom;
};

struct FramePlacement {
    PlacedRect frame;  // on the primary surface
    int32_t factor;    // each frame pixel is a factor x factor block there
    int32_t text_x;    // the error line's start, in the window's client coordinates
    int32_t text_y;
};

// The stored setting FrameSize: FRAME_SIZE_DPI (or missing, or any other value) follows the
// desktop's scale, FRAME_SIZE_FILL fills the primary monitor.
constexpr uint32_t FRAME_SIZE_DPI = 0;
constexpr uint32_t FRAME_SIZE_FILL = 1;

// The desktop's resolution where the system reports none (before DPI-aware systems).
constexpr int32_t DEFAULT_DPI = 96;

// The scale request (frame_fit.h) for the setting and the primary monitor's DPI (0 when unknown).
int32_t frame_scale_request(uint32_t frame_size, int32_t dpi);

// primary_width x primary_height: the primary monitor's size; (client_left, client_top): the
// screen position of the window's client origin; scale_request as frame_fit.h. Halves drop their
// fraction.
FramePlacement frame_on_primary(int32_t primary_width, int32_t primary_height,
                                int32_t client_left, int32_t client_top, int32_t scale_request);
