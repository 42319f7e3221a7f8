// The frame in the middle of the primary monitor at its whole factor, and the error line 80
// pixels left of that middle, in the window's own coordinates (see frame_placement.h).
#include "frame_placement.h"

#include "frame_fit.h"

int32_t frame_scale_request(uint32_t frame_size, int32_t dpi) {
    if (frame_size == FRAME_SIZE_FILL) return FRAME_FILL;
    const int32_t factor = dpi / DEFAULT_DPI;
    // Below 96 DPI (or none reported) the frame keeps its own pixels; FRAME_FILL is 0, so a
    // factor of 0 must never be handed on as a request.
    if (factor < FRAME_ACTUAL) return FRAME_ACTUAL;
    return factor > FRAME_MAX_FACTOR ? FRAME_MAX_FACTOR : factor;
}

FramePlacement frame_on_primary(int32_t primary_width, int32_t primary_height,
                                int32_t client_left, int32_t client_top, int32_t scale_request) {
    const FrameFit fit = fit_frame(primary_width, primary_height, scale_request);
    FramePlacement placed;
    placed.frame = PlacedRect{fit.left, fit.top, fit.left + fit.width, fit.top + fit.height};
    placed.factor = fit.factor;
    placed.text_x = primary_width / 2 - 80 - client_left;
    placed.text_y = primary_height / 2 - client_top;
    return placed;
}
