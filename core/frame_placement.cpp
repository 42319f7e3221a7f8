// The frame in the middle of the primary monitor, and the error line 80 pixels left of that
// middle, in the window's own coordinates (see frame_placement.h).
#include "frame_placement.h"

#include "world.h"

FramePlacement frame_on_primary(int32_t primary_width, int32_t primary_height,
                                int32_t client_left, int32_t client_top) {
    const int32_t left = (primary_width - WORLD_WIDTH) / 2;
    const int32_t top = (primary_height - WORLD_HEIGHT) / 2;
    FramePlacement placed;
    placed.frame = PlacedRect{left, top, left + WORLD_WIDTH, top + WORLD_HEIGHT};
    placed.text_x = primary_width / 2 - 80 - client_left;
    placed.text_y = primary_height / 2 - client_top;
    return placed;
}
