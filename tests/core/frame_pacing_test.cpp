// Frame pacing, driven by a simulated clock: frames never come faster than the refresh where the
// vertical-blank wait returns at once, and are never held back where the wait really blocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>

#include "frame_pacing.h"

namespace {

TEST(FramePacing, ReportedRatesOutsidePlausibleRangeFallBackTo60Hz) {
    const struct {
        uint32_t reported, used;
    } cases[] = {{0, 60}, {1, 60}, {23, 60}, {24, 24}, {60, 60}, {75, 75}, {144, 144},
                 {500, 500}, {501, 60}, {0xFFFFFFFF, 60}};
    for (const auto& c : cases) EXPECT_EQ(c.used, usable_refresh_rate(c.reported)) << c.reported;
    FramePacing pacing;
    start_frame_pacing(pacing, 75);
    EXPECT_EQ(13333, pacing.period_us);
    start_frame_pacing(pacing, 1);
    EXPECT_EQ(16666, pacing.period_us);
}

// One simulated saver: the timer's latency, the frame's work, the wait, the hold and the
// present, on a clock of microseconds.
struct Simulation {
    FramePacing pacing{};
    int64_t now = 1000000000;  // an arbitrary start: the clock is monotonic, not zero-based
    std::mt19937 random{12345};
    int64_t first_present = 0;
    int64_t last_present = 0;
    int64_t shortest = INT64_MAX;
    int64_t longest = 0;
    int frames = 0;
    int held = 0;

    int64_t uniform(int64_t low, int64_t high) {
        return std::uniform_int_distribution<int64_t>(low, high)(random);
    }

    // The wait returns at once when blank_us is 0, else at the next multiple of blank_us.
    void frame(int64_t latency_and_work_us, int64_t blank_us, int64_t oversleep_us) {
        now += latency_and_work_us;
        const int64_t wait_start = now;
        if (blank_us > 0) now = (now / blank_us + 1) * blank_us;
        const int64_t delay = frame_delay_us(pacing, wait_start, now);
        if (delay > 0) {
            ++held;
            EXPECT_LE(delay, pacing.period_us);
            now += (delay + 999) / 1000 * 1000 + oversleep_us;  // Sleep rounds up to whole ms
        }
        frame_presented(pacing, now);
        if (frames == 0) first_present = now;
        else {
            shortest = std::min(shortest, now - last_present);
            longest = std::max(longest, now - last_present);
        }
        last_present = now;
        ++frames;
    }

    double mean_interval() const {
        return static_cast<double>(last_present - first_present) / (frames - 1);
    }
};

TEST(FramePacing, WaitThatReturnsAtOnceKeepsTheRefreshRateOnAverage) {
    Simulation s;
    start_frame_pacing(s.pacing, 60);
    // The first frames go unheld, until a run of early returns has shown that the wait does
    // not wait; every later one is held.
    for (int i = 0; i < EARLY_WAITS_TO_PACE - 1; ++i) s.frame(s.uniform(500, 10000), 0, 0);
    EXPECT_EQ(0, s.held);
    s.frames = 0;
    s.shortest = INT64_MAX;
    for (int i = 0; i < 6000; ++i) s.frame(s.uniform(500, 10000), 0, s.uniform(0, 1500));
    EXPECT_EQ(6000, s.held);
    // Not the 1 ms of the timer: one frame per refresh, the late sleeps made up for.
    EXPECT_NEAR(16666.0, s.mean_interval(), 30.0);
    EXPECT_GE(s.shortest, 16666 * 3 / 4);
}

TEST(FramePacing, StallIsNotFollowedByBurstOfCatchUpFrames) {
    Simulation s;
    start_frame_pacing(s.pacing, 60);
    for (int i = 0; i < 100; ++i) s.frame(2000, 0, 0);
    s.frame(250000, 0, 0);  // a quarter of a second lost
    const int64_t stall_present = s.last_present;
    s.shortest = INT64_MAX;
    for (int i = 0; i < 60; ++i) s.frame(2000, 0, 0);
    EXPECT_GE(s.shortest, 16666 * 3 / 4);
    EXPECT_NEAR(16666.0, static_cast<double>(s.last_present - stall_present) / 60, 100.0);
}

TEST(FramePacing, BlockingWaitIsNeverHeldWhateverRateTheDisplayReports) {
    // Displays faster than they report (75 Hz against 60, 60.05 against 60), slower, or far
    // from the default: frames follow the real blanks in every case, for many minutes.
    const struct {
        uint32_t reported_hz;
        int64_t blank_us;
    } cases[] = {{60, 13333}, {60, 16653}, {60, 16683}, {120, 8333}, {24, 16667}, {0, 10000}};
    for (const auto& c : cases) {
        Simulation s;
        start_frame_pacing(s.pacing, c.reported_hz);
        s.now = s.now / c.blank_us * c.blank_us;  // presents fall on blanks from here on
        for (int i = 0; i < 50000; ++i) {
            // Mostly the frame is ready well before the blank; every third frame it is ready
            // just as the blank begins, and its wait returns within WAIT_BLOCKED_US.
            const int64_t ready = i % 3 == 2 ? c.blank_us - s.uniform(1, WAIT_BLOCKED_US - 1)
                                             : s.uniform(200, c.blank_us / 2);
            s.frame(ready, c.blank_us, 0);
        }
        EXPECT_EQ(0, s.held) << c.blank_us;
        EXPECT_EQ(c.blank_us, s.shortest) << c.blank_us;
        EXPECT_EQ(c.blank_us, s.longest) << c.blank_us;
    }
}

TEST(FramePacing, HeavyFramesOnMatchingDisplayKeepEveryBlank) {
    // Every frame's work ends just before the blank, so every wait returns early; on a display
    // that refreshes at the rate it reports, the schedule is never ahead of the blank.
    Simulation s;
    start_frame_pacing(s.pacing, 60);
    const int64_t blank = 16667;
    s.now = s.now / blank * blank;
    for (int i = 0; i < 20000; ++i) s.frame(blank - s.uniform(1, 400), blank, 0);
    EXPECT_EQ(0, s.held);
    EXPECT_EQ(blank, s.shortest);
    EXPECT_EQ(blank, s.longest);
}

TEST(FramePacing, HoldNeverExceedsOnePeriodWhateverTheClockDid) {
    FramePacing pacing;
    start_frame_pacing(pacing, 60);
    for (int i = 0; i < EARLY_WAITS_TO_PACE; ++i) frame_delay_us(pacing, 0, 0);
    frame_presented(pacing, 1000000);
    frame_presented(pacing, 900000);  // the clock stepped back
    EXPECT_GT(frame_delay_us(pacing, 900000, 900000), 0);
    EXPECT_LE(frame_delay_us(pacing, 900000, 900000), pacing.period_us);
    frame_presented(pacing, 50000000);  // and far ahead
    EXPECT_LE(frame_delay_us(pacing, 50000000, 50000000), pacing.period_us);
    // A wait that blocked is presented at once and breaks the run of early returns.
    EXPECT_EQ(0, frame_delay_us(pacing, 50000000, 50000000 + WAIT_BLOCKED_US));
    EXPECT_EQ(0, frame_delay_us(pacing, 50000000, 50000000));
}

}  // namespace
