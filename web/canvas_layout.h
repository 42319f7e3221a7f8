// The canvas's pixel layout: ImageData holds bytes red, green, blue, alpha in memory, which on a
// little-endian machine are the masks below, with the alpha byte held opaque. The core packs
// straight into it, so the page hands its frames to the canvas untouched.
#pragma once

#include "animation.h"

constexpr SurfaceLayout CANVAS_LAYOUT = {4, 0x000000FF, 0x0000FF00, 0x00FF0000};
constexpr uint32_t CANVAS_OPAQUE_BITS = 0xFF000000;
