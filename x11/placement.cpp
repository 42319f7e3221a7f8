// Placing and scaling the frame for the window it is shown in.
#include "placement.h"

#include <cstring>

Placement place_frame(int window_width, int window_height) {
    Placement placement = {0, 0, FRAME_WIDTH, FRAME_HEIGHT, false};
    if (window_width < 1) window_width = 1;
    if (window_height < 1) window_height = 1;
    if (window_width < FRAME_WIDTH || window_height < FRAME_HEIGHT) {
        placement.scaled = true;
        // The width bounds it where the window is no wider than 4:3 (w / 640 <= h / 480,
        // compared in integers), the height otherwise; at least one pixel either way.
        if (static_cast<int64_t>(window_width) * FRAME_HEIGHT <=
            static_cast<int64_t>(window_height) * FRAME_WIDTH) {
            placement.width = window_width;
            placement.height = window_width * FRAME_HEIGHT / FRAME_WIDTH;
        } else {
            placement.height = window_height;
            placement.width = window_height * FRAME_WIDTH / FRAME_HEIGHT;
        }
        if (placement.width < 1) placement.width = 1;
        if (placement.height < 1) placement.height = 1;
    }
    placement.x = (window_width - placement.width) / 2;
    placement.y = (window_height - placement.height) / 2;
    return placement;
}

void scale_frame(const uint8_t* source, int source_pitch, int bytes_per_pixel,
                 const Placement& placement, uint8_t* target, int target_pitch) {
    static int columns[FRAME_WIDTH];  // source byte offset of each target column
    for (int x = 0; x < placement.width; ++x)
        columns[x] = (2 * x + 1) * FRAME_WIDTH / (2 * placement.width) * bytes_per_pixel;
    for (int y = 0; y < placement.height; ++y) {
        const int source_y = (2 * y + 1) * FRAME_HEIGHT / (2 * placement.height);
        const uint8_t* row = source + static_cast<intptr_t>(source_y) * source_pitch;
        uint8_t* out = target + static_cast<intptr_t>(y) * target_pitch;
        for (int x = 0; x < placement.width; ++x, out += bytes_per_pixel)
            std::memcpy(out, row + columns[x], static_cast<size_t>(bytes_per_pixel));
    }
}
