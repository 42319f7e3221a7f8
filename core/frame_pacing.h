// Frame pacing where the vertical-blank wait does not wait.
//
// Every frame waits for the vertical blank before it is presented, and the frame timer posts
// the next frame within a millisecond of the present, so frames follow the display's refresh.
// Some displays (Wine's DirectDraw, some virtual machines and remote sessions) return from that
// wait at once; frames would then come every timer period (1 ms), burning a whole core and
// running the sand, one step per frame, many times too fast.
//
// So the window's thread times the wait. While it blocks (WAIT_BLOCKED_US or longer), the display
// paces the frames and each is presented at once, exactly as before. Once EARLY_WAITS_TO_PACE
// waits in a row have returned sooner, the wait is taken not to wait, and each frame sleeps until
// it is due: the due times follow a fixed schedule one refresh period apart, so sleeps that end a
// little late do not slow the average rate. The schedule is kept within reach of the last
// present: never earlier than three quarters of a period after it (a stall is not followed by a
// burst of catch-up frames) and never later than a whole period after it (no frame is held back
// for longer than one refresh, whatever the clock did). A real wait that merely found the blank
// about to begin is a single early return, not a run of them, and is never held.
//
// Times are microseconds of a monotonic clock. Portable: the caller reads the clock and sleeps.
#pragma once

#include <cstdint>

constexpr uint32_t DEFAULT_REFRESH_HZ = 60;
// Reported rates outside this range are taken for garbage (0 and 1 mean "the hardware's
// default") and replaced by DEFAULT_REFRESH_HZ.
constexpr uint32_t MIN_REFRESH_HZ = 24;
constexpr uint32_t MAX_REFRESH_HZ = 500;

// A wait shorter than this returned early: a real one ends at the next vertical blank, which is
// seldom this close, and then not frame after frame.
constexpr int64_t WAIT_BLOCKED_US = 500;
constexpr int32_t EARLY_WAITS_TO_PACE = 4;

struct FramePacing {
    int64_t period_us;    // one refresh interval
    int64_t due_us;       // earliest present of the next frame whose wait returns early
    int32_t early_waits;  // waits in a row that returned early, up to EARLY_WAITS_TO_PACE
    bool started;         // false until the first present
};

inline uint32_t usable_refresh_rate(uint32_t reported_hz) {
    if (reported_hz < MIN_REFRESH_HZ || reported_hz > MAX_REFRESH_HZ) return DEFAULT_REFRESH_HZ;
    return reported_hz;
}

inline void start_frame_pacing(FramePacing& pacing, uint32_t refresh_hz) {
    pacing.period_us = 1000000 / usable_refresh_rate(refresh_hz);
    pacing.due_us = 0;
    pacing.early_waits = 0;
    pacing.started = false;
}

// How long to hold a frame whose vertical-blank wait ran from wait_start_us to wait_end_us.
inline int64_t frame_delay_us(FramePacing& pacing, int64_t wait_start_us, int64_t wait_end_us) {
    if (wait_end_us - wait_start_us >= WAIT_BLOCKED_US) {
        pacing.early_waits = 0;
        return 0;
    }
    if (pacing.early_waits < EARLY_WAITS_TO_PACE) ++pacing.early_waits;
    if (!pacing.started || pacing.early_waits < EARLY_WAITS_TO_PACE) return 0;
    const int64_t delay = pacing.due_us - wait_end_us;
    return delay > 0 ? delay : 0;
}

// Records a present at present_us and sets the next due time.
inline void frame_presented(FramePacing& pacing, int64_t present_us) {
    const int64_t earliest = present_us + pacing.period_us - pacing.period_us / 4;
    const int64_t latest = present_us + pacing.period_us;
    int64_t due = pacing.due_us + pacing.period_us;
    if (!pacing.started || due < earliest) due = earliest;
    if (due > latest) due = latest;
    pacing.due_us = due;
    pacing.started = true;
}
