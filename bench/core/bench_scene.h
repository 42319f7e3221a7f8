// Shared set-up of the benchmarks: the scene as the saver runs it, some seconds in, so the
// sand has spread from its starting cell into piles in both bulbs.
#pragma once

#include "headless.h"

constexpr int WARM_UP_FRAMES = 600;

inline HeadlessRun* warm_scene(int bits_per_pixel) {
    HeadlessRun* run = headless_start(bits_per_pixel);
    for (int i = 0; i < WARM_UP_FRAMES; ++i) headless_frame(run, HEADLESS_DEFAULT_DT);
    return run;
}
