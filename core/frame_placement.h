// Where the 640 x 480 frame and the error line stand on a desktop of one or more monitors.
//
// The saver window covers the virtual screen, every monitor, so that all but the primary stay
// black and input on any of them reaches the saver. The frame is presented on DirectDraw's
// primary surface, which is the primary monitor alone: its (0, 0) is the primary's top-left
// corner, the origin of screen coordinates, and the frame stands in the primary's middle. The
// error line is drawn into the window, in client coordinates, whose origin is the virtual
// screen's top-left corner; a monitor left of or above the primary puts that corner at negative
// screen coordinates, and the line moves right or down by as much to stay on the primary.
#pragma once

#include <cstdint>

struct PlacedRect {
    int32_t left, top, right, bottom;
};

struct FramePlacement {
    PlacedRect frame;  // on the primary surface
    int32_t text_x;    // the error line's start, in the window's client coordinates
    int32_t text_y;
};

// primary_width x primary_height: the primary monitor's size; (client_left, client_top): the
// screen position of the window's client origin. Halves drop their fraction.
FramePlacement frame_on_primary(int32_t primary_width, int32_t primary_height,
                                int32_t client_left, int32_t client_top);
