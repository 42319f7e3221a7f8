// The last frame as raw surface bytes, top row first, at a whole scale.
#include "image_output.h"

bool write_raw(OutputFile& out, const HeadlessRun* run, int scale) {
    if (scale == 1) return output_write(out, run->surface, headless_surface_size(run));
    static uint8_t wide_row[FRAME_WIDTH * FRAME_MAX_FACTOR * 4];
    const int bytes = run->bits_per_pixel / 8;
    const size_t wide_size = static_cast<size_t>(FRAME_WIDTH) * scale * bytes;
    for (int y = 0; y < FRAME_HEIGHT; ++y) {
        enlarge_row(run->surface + static_cast<size_t>(y) * run->pitch, bytes, scale, wide_row);
        for (int i = 0; i < scale; ++i)
            if (!output_write(out, wide_row, wide_size)) return false;
    }
    return true;
}
