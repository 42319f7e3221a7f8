#include "frame_scaling.h"

int32_t window_scale_request(int32_t asked, bool server_scales) {
    if (server_scales) return asked;
    if (asked == FRAME_FILL || asked > SOFTWARE_MAX_FACTOR) return SOFTWARE_MAX_FACTOR;
    return asked;
}

int32_t server_scale_step(int32_t factor) { return (65536 + factor / 2) / factor; }
