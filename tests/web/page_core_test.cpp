// The page's side of the core, natively: the canvas's layout carries the very frames of the
// 32-bit layout with every pixel opaque, and the step schedule under displays of many rates,
// with jittery frame times, takes never more than 60 steps a second, loses not one frame at
// 60 Hz or slower, adds the steps' dt up to the time that passed and makes no burst after a stall.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "animation.h"
#include "canvas_layout.h"
#include "golden_frames.h"
#include "headless.h"
#include "step_schedule.h"

namespace {

// Frames 1, 60 and 600 in the 32-bit layout (bytes blue, green, red, 0) and in the canvas's
// (red, green, blue, 255): the same colour in every pixel, the cleared black ones included.
TEST(CanvasLayout, SameFramesAsThirtyTwoBitsWithOpaqueAlpha) {
    constexpr int64_t CHECKED[] = {1, 60, 600};
    constexpr size_t SIZE = FRAME_WIDTH * FRAME_HEIGHT * 4;
    std::vector<std::vector<uint8_t>> reference;
    HeadlessRun* run = headless_start(32);
    for (int64_t frame = 1; frame <= 600; ++frame) {
        headless_frame(run, HEADLESS_DEFAULT_DT);
        for (int64_t at : CHECKED) {
            if (frame == at) reference.emplace_back(run->surface, run->surface + SIZE);
        }
    }

    std::vector<uint8_t> canvas(SIZE, 0x5A);
    start_animation(CANVAS_LAYOUT, 0);
    set_opaque_bits(CANVAS_OPAQUE_BITS);
    size_t next = 0;
    for (int64_t frame = 1; frame <= 600; ++frame) {
        clear_frame(canvas.data(), FRAME_WIDTH * 4);
        run_animation_step(canvas.data(), FRAME_WIDTH * 4, HEADLESS_DEFAULT_DT);
        if (frame != CHECKED[next]) continue;
        const std::vector<uint8_t>& bgrx = reference[next++];
        int black = 0;
        for (size_t i = 0; i < SIZE; i += 4) {
            ASSERT_EQ(canvas[i], bgrx[i + 2]) << "frame " << frame << " pixel " << i / 4;
            ASSERT_EQ(canvas[i + 1], bgrx[i + 1]) << "frame " << frame << " pixel " << i / 4;
            ASSERT_EQ(canvas[i + 2], bgrx[i]) << "frame " << frame << " pixel " << i / 4;
            ASSERT_EQ(canvas[i + 3], 0xFF) << "frame " << frame << " pixel " << i / 4;
            black += canvas[i] == 0 && canvas[i + 1] == 0 && canvas[i + 2] == 0;
        }
        EXPECT_GT(black, 50000) << "the cleared border is black and opaque too";
    }
    EXPECT_EQ(next, 3u);

    // A fresh start in another layout drops the opaque bits: its frame is the golden one again.
    run = headless_start(32);
    headless_frame(run, HEADLESS_DEFAULT_DT);
    char line[256];
    headless_summary(run, line, sizeof line);
    EXPECT_STREQ(line, GOLDEN_RUNS[3].frame_1);
}

struct Display {
    double hz;
    double jitter_ms;  // each frame time off its vsync by up to this much, either way
    int min_steps_per_second;
    int max_steps_per_second;
};

void PrintTo(const Display& display, std::ostream* out) {
    *out << display.hz << " Hz, jitter " << display.jitter_ms << " ms";
}

// A fixed generator, so a failure replays.
double jitter(uint32_t& seed, double size) {
    seed = seed * 1664525u + 1013904223u;
    return ((seed >> 8) / 16777216.0 * 2.0 - 1.0) * size;
}

class StepRates : public ::testing::TestWithParam<Display> {};

TEST_P(StepRates, AtMostSixtyAndNoneLostOnSlowDisplays) {
    const Display display = GetParam();
    const double start = 5000.0;
    StepSchedule schedule;
    restart_steps(schedule, start);
    uint32_t seed = 7;
    double dt_sum = 0.0, last_step = start;
    int steps = 0, frames = 0, longest_skip = 0, skipped = 0;
    const int seconds = 60;
    for (int64_t n = 1; n <= static_cast<int64_t>(display.hz * seconds); ++n) {
        const double now = start + n * 1000.0 / display.hz + jitter(seed, display.jitter_ms);
        float dt = -1.0f;
        ++frames;
        if (!take_step(schedule, now, dt)) {
            ++skipped;
            if (skipped > longest_skip) longest_skip = skipped;
            continue;
        }
        skipped = 0;
        ASSERT_GE(dt, 0.0f);
        // No two steps within half a period: skipped frames are not made up in a burst.
        if (steps > 0) {
            ASSERT_GT(now - last_step, STEP_PERIOD_MS / 2) << "frame " << n;
        }
        dt_sum += static_cast<double>(dt);
        last_step = now;
        ++steps;
        // The running count never gets ahead of 60 a second (plus the first step).
        ASSERT_LE(steps, 1 + (now - start + STEP_EARLY_MS) / STEP_PERIOD_MS) << "frame " << n;
    }
    EXPECT_GE(steps, display.min_steps_per_second * seconds);
    EXPECT_LE(steps, display.max_steps_per_second * seconds + 1);
    if (display.hz <= 60.5) {
        EXPECT_EQ(steps, frames) << "a slow display loses no frame";
    }
    // Frames are skipped evenly, never several periods' worth in a row.
    EXPECT_LE(longest_skip, static_cast<int>(std::ceil(display.hz / 60.0)));
    // The steps' dt add up to the time from the start to the last step.
    EXPECT_NEAR(dt_sum, (last_step - start) / 1000.0, 1e-4);
}

INSTANTIATE_TEST_SUITE_P(Displays, StepRates,
                         ::testing::Values(Display{60.0, 0.0, 60, 60},
                                           Display{60.0, 2.0, 60, 60},
                                           Display{59.94, 1.0, 59, 60},
                                           Display{30.0, 3.0, 30, 30},
                                           Display{50.0, 0.5, 50, 50},
                                           Display{75.0, 0.5, 59, 60},
                                           Display{120.0, 0.0, 60, 60},
                                           Display{120.0, 1.0, 59, 60},
                                           Display{144.0, 0.5, 57, 60},
                                           Display{165.0, 0.5, 57, 60},
                                           Display{240.0, 0.3, 57, 60},
                                           Display{360.0, 0.2, 57, 60}));

TEST(StepSchedule, FirstFrameStepsWithTheTimeSinceTheStart) {
    StepSchedule schedule;
    restart_steps(schedule, 100.0);
    float dt = 0.0f;
    ASSERT_TRUE(take_step(schedule, 103.0, dt));
    EXPECT_FLOAT_EQ(dt, 0.003f);
    // Right after a step the next frame of a 240 Hz display is skipped.
    EXPECT_FALSE(take_step(schedule, 107.2, dt));
}

TEST(StepSchedule, AStallIsNotFollowedByABurst) {
    StepSchedule schedule;
    restart_steps(schedule, 0.0);
    float dt = 0.0f;
    ASSERT_TRUE(take_step(schedule, 0.0, dt));
    ASSERT_TRUE(take_step(schedule, 2000.0, dt));  // two seconds without a frame
    EXPECT_FLOAT_EQ(dt, 2.0f);
    // A 240 Hz display after the stall: the next step waits its three quarters of a period.
    EXPECT_FALSE(take_step(schedule, 2004.2, dt));
    EXPECT_FALSE(take_step(schedule, 2008.3, dt));
    EXPECT_TRUE(take_step(schedule, 2012.5, dt));
    EXPECT_FALSE(take_step(schedule, 2016.7, dt));
}

TEST(StepSchedule, RestartMeasuresFromTheShowing) {
    // The tab hidden from 1 s to 61 s: the first frame after it does not take the minute as dt.
    StepSchedule schedule;
    restart_steps(schedule, 0.0);
    float dt = 0.0f;
    ASSERT_TRUE(take_step(schedule, 1000.0, dt));
    restart_steps(schedule, 61000.0);
    ASSERT_TRUE(take_step(schedule, 61010.0, dt));
    EXPECT_FLOAT_EQ(dt, 0.010f);
    // A clock that goes back gives dt 0, never a negative one.
    restart_steps(schedule, 500.0);
    ASSERT_TRUE(take_step(schedule, 400.0, dt));
    EXPECT_EQ(dt, 0.0f);
}

}  // namespace
