// Which X visuals the frame can be drawn for, and how its pixels are packed there: any
// TrueColor visual through its channel masks, and 8-bit PseudoColor through the fixed 3-3-2
// palette in a colormap of the saver's own. Kept free of X headers so it can be tested alone.
#pragma once

#include <cstdint>

#include "animation.h"

enum class VisualKind { TRUE_COLOR, PSEUDO_COLOR, OTHER };

struct VisualFacts {
    VisualKind kind;
    int depth;
    int bits_per_pixel;  // of the server's image format for this depth
    uint32_t red_mask;
    uint32_t green_mask;
    uint32_t blue_mask;
    int colormap_size;
};

// The layout to draw in, or one with bytes_per_pixel 0 where the visual cannot be served.
SurfaceLayout layout_for_visual(const VisualFacts& visual);

// A short name of the visual's class for the one-line refusal ("StaticGray", ...).
const char* visual_class_name(int x_class);
