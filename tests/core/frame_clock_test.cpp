// The frame clock's exact float results: the float factor 0.001, the time kept in double until
// dt is taken, and the unsigned difference across the tick counter's wrap.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "frame_clock.h"

namespace {

uint32_t bits(float value) {
    uint32_t b;
    std::memcpy(&b, &value, sizeof b);
    return b;
}

TEST(FrameClock, ResetHoldsTheTickAndZeroTimes) {
    frame_clock.last_time = 3.0f;
    frame_clock.dt = 1.0f;
    reset_frame_clock(123456u);
    EXPECT_EQ(frame_clock.start_tick, 123456u);
    EXPECT_EQ(bits(frame_clock.last_time), 0u);
    EXPECT_EQ(bits(frame_clock.dt), 0u);
}

// Each expected value differs from what a float product, a dt taken from the rounded time or
// the double factor 0.001 would give.
TEST(FrameClock, AdvanceGivesExactFloats) {
    reset_frame_clock(0);
    advance_frame_clock(8);
    EXPECT_EQ(bits(frame_clock.last_time), 0x3C03126Fu);  // 0.008
    advance_frame_clock(9);
    EXPECT_EQ(bits(frame_clock.dt), 0x3A83126Fu);         // the float 0.001 itself
    EXPECT_EQ(bits(frame_clock.last_time), 0x3C1374BDu);  // 0.009
}

TEST(FrameClock, CountsAcrossTheTickCountersWrap) {
    reset_frame_clock(0xFFFFFFF0u);
    const struct { uint32_t tick, dt, last_time; } frames[] = {
        {0xFFFFFFFFu, 0x3C75C290u, 0x3C75C290u},  // 15 ms
        {0x00000010u, 0x3C8B4396u, 0x3D03126Fu},  // 32 ms, after the wrap
        {0x00000408u, 0x3F820C4Au, 0x3F8624DEu},  // 1048 ms
    };
    for (const auto& f : frames) {
        advance_frame_clock(f.tick);
        EXPECT_EQ(bits(frame_clock.dt), f.dt) << f.tick;
        EXPECT_EQ(bits(frame_clock.last_time), f.last_time) << f.tick;
        EXPECT_EQ(frame_clock.start_tick, 0xFFFFFFF0u);
    }
}

// The stored time is rounded but the next dt is taken from the unrounded one, so a frame on
// the same tick still sees the rounding residue.
TEST(FrameClock, RepeatedTickLeavesTheRoundingResidue) {
    reset_frame_clock(500);
    advance_frame_clock(1500);
    EXPECT_EQ(frame_clock.last_time, 1.0f);
    advance_frame_clock(1500);
    EXPECT_EQ(bits(frame_clock.dt), 0x334C0000u);  // 1000 * 0.001f - 1.0 = 4.75e-8
    EXPECT_EQ(frame_clock.last_time, 1.0f);
}

}  // namespace
