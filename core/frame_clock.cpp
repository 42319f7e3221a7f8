// The frame clock. Times are kept as 32-bit floats of seconds; the elapsed milliseconds are an
// unsigned difference, so a wrap of the tick counter (every 49.7 days) costs nothing.
#include "frame_clock.h"

FrameClock frame_clock;

void reset_frame_clock(uint32_t start_tick) {
    frame_clock.start_tick = start_tick;
    frame_clock.last_time = 0.0f;
    frame_clock.dt = 0.0f;
}

void advance_frame_clock(uint32_t now_tick) {
    const uint32_t elapsed = now_tick - frame_clock.start_tick;
    // The factor is the float 0.001; the product stays in double until it is stored, so dt is
    // taken from the unrounded time.
    const double t = static_cast<double>(elapsed) * static_cast<double>(0.001f);
    frame_clock.dt = static_cast<float>(t - static_cast<double>(frame_clock.last_time));
    frame_clock.last_time = static_cast<float>(t);
}
