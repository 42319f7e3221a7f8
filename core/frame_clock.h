// The frame clock: seconds since display set-up, and the step between the last two frames.
#pragma once

#include <cstdint>

struct FrameClock {
    uint32_t start_tick;  // GetTickCount milliseconds read at display set-up
    float last_time;      // seconds from start_tick to the previous frame
    float dt;             // seconds between the last two frames; the frame update reads it
};

extern FrameClock frame_clock;

void reset_frame_clock(uint32_t start_tick);

// Advances the clock to the tick count now_tick (wraps of the counter included).
void advance_frame_clock(uint32_t now_tick);
