// Deciding the surface layout from a visual.
#include "visual_layout.h"

#include "fixed_palette.h"

SurfaceLayout layout_for_visual(const VisualFacts& visual) {
    const SurfaceLayout none = {0, 0, 0, 0};
    const int bits = visual.bits_per_pixel;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return none;
    if (visual.kind == VisualKind::PSEUDO_COLOR) {
        if (visual.depth != 8 || bits != 8 || visual.colormap_size < 256) return none;
        return {1, PALETTE_RED_MASK, PALETTE_GREEN_MASK, PALETTE_BLUE_MASK};
    }
    if (visual.kind != VisualKind::TRUE_COLOR) return none;
    // Every channel needs bits, inside the pixel, and none may share a bit with another.
    const uint64_t pixel_bits = bits == 32 ? 0xFFFFFFFFull : (1ull << bits) - 1;
    const uint32_t all = visual.red_mask | visual.green_mask | visual.blue_mask;
    if (visual.red_mask == 0 || visual.green_mask == 0 || visual.blue_mask == 0 ||
        (all & ~pixel_bits) != 0 || (visual.red_mask & visual.green_mask) != 0 ||
        (visual.red_mask & visual.blue_mask) != 0 || (visual.green_mask & visual.blue_mask) != 0)
        return none;
    return {bits / 8, visual.red_mask, visual.green_mask, visual.blue_mask};
}

const char* visual_class_name(int x_class) {
    // The order of X's class numbers, StaticGray 0 to DirectColor 5.
    static const char* const names[] = {"StaticGray",  "GrayScale", "StaticColor",
                                        "PseudoColor", "TrueColor", "DirectColor"};
    return x_class >= 0 && x_class <= 5 ? names[x_class] : "unknown";
}
