// Frame pacing: one frame per blank on ordinary displays, about 60 frames a second on fast ones,
// and a schedule of its own where the vertical-blank wait does not wait.
//
// Every frame waits for the vertical blank before it is presented, and the frame timer posts
// the next frame within a millisecond of the present, so frames follow the display's refresh.
// The sand takes one step per frame and is drawn for 60 of them a second, so a display faster
// than 89 Hz presents only every k-th blank, k the whole number nearest to rate / 60: the frame
// sleeps until shortly before the blank ahead of its own and then waits for the blanks that are
// left, as many as it takes to be at least k - 1/2 refresh periods after the last present. Timing
// the waits against the clock, not counting them, keeps a display that is faster or slower than
// it reports near 60 frames a second all the same.
//
// Some displays (Wine's DirectDraw, some virtual machines and remote sessions) return from the
// wait at once; frames would then come every timer period (1 ms), burning a whole core and
// running the sand many times too fast. So the window's thread times every wait. Once
// EARLY_WAITS_TO_PACE waits in a row have returned sooner than WAIT_BLOCKED_US, the wait is taken
// not to wait, and each frame is held, before its wait, until it is due: one refresh period
// apart on a display of up to 89 Hz, 1/60 s apart on a faster one (it has no blanks to keep). The
// due times follow a fixed schedule, so sleeps that end a little early or late do not change the
// average rate; it is kept within reach of the last present, never earlier than three quarters
// of an interval after it (a stall is not followed by a burst of catch-up frames) and never later
// than a whole interval after it (no frame is held back longer, whatever the clock did). A real
// wait that merely found the blank about to begin is a single early return, not a run of them.
//
// Times are microseconds of a monotonic clock. Portable: the caller reads the clock, sleeps and
// waits.
#pragma once

#include <cstdint>

constexpr uint32_t DEFAULT_REFRESH_HZ = 60;
// The rates taken as reported: below the slowest refresh in use (film's 24 Hz), or above 1 kHz,
// where the 1 ms timer and Sleep can no longer tell the blanks apart, a report is clamped. 0 and
// 1 are the hardware's default, not a rate: with them (or no report) the display is taken for
// DEFAULT_REFRESH_HZ.
constexpr uint32_t MIN_REFRESH_HZ = 24;
constexpr uint32_t MAX_REFRESH_HZ = 1000;

// The sand's own frame rate, which faster displays are divided down to.
constexpr uint32_t SAND_FRAME_HZ = 60;

// A wait shorter than this returned early. Non-waiting waits return within about 20 us; a real
// one ends at the next blank, and even at 540 Hz only one in about 40 of them is this close.
constexpr int64_t WAIT_BLOCKED_US = 50;
constexpr int32_t EARLY_WAITS_TO_PACE = 4;
// Once pacing, only a run of waits that blocked ends it: a non-waiting wait now and then takes
// longer (a busy machine, Wine's tracing), and one of them must not let the next frames through
// unheld, in a burst.
constexpr int32_t BLOCKED_WAITS_TO_RELEASE = 4;

// Where a frame skips blanks, its sleep ends this long before the last blank it skips, so that a
// sleep that ends late still finds the frame's own blank ahead: at 540 Hz one that ends up to
// 3.8 ms late. Sleep(1) under Wine on a busy machine overran by 0.1 ms typically, 1 to 2.7 ms in
// one case of a hundred, 4.3 ms at worst.
constexpr int64_t SKIP_SLEEP_MARGIN_US = 2000;

struct FramePacing {
    int64_t blank_us;          // one refresh period of the display
    int32_t blanks_per_frame;  // k: a frame is presented on every k-th blank
    int64_t held_us;           // interval of the held frames where the wait does not wait
    int64_t due_us;            // there, the next frame's present
    int64_t last_present_us;
    int32_t early_waits;       // waits in a row that returned early, up to EARLY_WAITS_TO_PACE
    int32_t blocked_waits;     // waits in a row that blocked, up to BLOCKED_WAITS_TO_RELEASE
    bool self_paced;           // the waits were found not to wait: frames are held to due_us
    int32_t waits;             // waits of the frame under way
    bool started;              // false until the first present
};

// The rate to pace for, from what the display reports (0 when nothing was reported).
inline uint32_t usable_refresh_rate(uint32_t reported_hz) {
    if (reported_hz <= 1) return DEFAULT_REFRESH_HZ;
    if (reported_hz < MIN_REFRESH_HZ) return MIN_REFRESH_HZ;
    if (reported_hz > MAX_REFRESH_HZ) return MAX_REFRESH_HZ;
    return reported_hz;
}

// k: the whole number nearest to rate / 60, at least 1 (up to 89 Hz, every blank).
inline int32_t blanks_per_frame(uint32_t hz) {
    const int32_t k = static_cast<int32_t>((hz + SAND_FRAME_HZ / 2) / SAND_FRAME_HZ);
    return k > 1 ? k : 1;
}

inline void start_frame_pacing(FramePacing& pacing, uint32_t reported_hz) {
    const uint32_t hz = usable_refresh_rate(reported_hz);
    pacing.blank_us = 1000000 / hz;
    pacing.blanks_per_frame = blanks_per_frame(hz);
    pacing.held_us = pacing.blanks_per_frame == 1 ? pacing.blank_us : 1000000 / SAND_FRAME_HZ;
    pacing.due_us = 0;
    pacing.last_present_us = 0;
    pacing.early_waits = 0;
    pacing.blocked_waits = 0;
    pacing.self_paced = false;
    pacing.waits = 0;
    pacing.started = false;
}

inline bool waits_do_not_wait(const FramePacing& pacing) { return pacing.self_paced; }

// Whole milliseconds to sleep before the frame's first wait. A held frame sleeps until it is
// due, rounded up (never early, or the schedule would drift early with it); a frame that skips
// blanks sleeps rounded down, and its waits make up the rest.
inline uint32_t frame_hold_ms(const FramePacing& pacing, int64_t now_us) {
    if (!pacing.started) return 0;
    if (waits_do_not_wait(pacing)) {
        const int64_t hold = pacing.due_us - now_us;
        return hold > 0 ? static_cast<uint32_t>((hold + 999) / 1000) : 0;
    }
    if (pacing.blanks_per_frame == 1) return 0;
    const int64_t hold = pacing.last_present_us + (pacing.blanks_per_frame - 1) * pacing.blank_us -
                         SKIP_SLEEP_MARGIN_US - now_us;
    return hold >= 1000 ? static_cast<uint32_t>(hold / 1000) : 0;
}

// Records a wait that ran from wait_start_us to wait_end_us; true when the frame is to wait for
// another blank before it is presented.
inline bool frame_waited(FramePacing& pacing, int64_t wait_start_us, int64_t wait_end_us) {
    if (wait_end_us - wait_start_us >= WAIT_BLOCKED_US) {
        pacing.early_waits = 0;
        if (pacing.blocked_waits < BLOCKED_WAITS_TO_RELEASE) ++pacing.blocked_waits;
    } else {
        pacing.blocked_waits = 0;
        if (pacing.early_waits < EARLY_WAITS_TO_PACE) ++pacing.early_waits;
    }
    if (pacing.early_waits == EARLY_WAITS_TO_PACE) pacing.self_paced = true;
    if (pacing.blocked_waits == BLOCKED_WAITS_TO_RELEASE) pacing.self_paced = false;
    ++pacing.waits;
    if (!pacing.started || waits_do_not_wait(pacing) || pacing.waits >= pacing.blanks_per_frame)
        return false;
    const int64_t since_present = wait_end_us - pacing.last_present_us;
    return 2 * since_present < (2 * pacing.blanks_per_frame - 1) * pacing.blank_us;
}

// Records a present at present_us and sets the next due time.
inline void frame_presented(FramePacing& pacing, int64_t present_us) {
    const int64_t interval = pacing.held_us;
    const int64_t earliest = present_us + interval - interval / 4;
    const int64_t latest = present_us + interval;
    int64_t due = pacing.due_us + interval;
    if (!pacing.started || due < earliest) due = earliest;
    if (due > latest) due = latest;
    pacing.due_us = due;
    pacing.last_present_us = present_us;
    pacing.waits = 0;
    pacing.started = true;
}
