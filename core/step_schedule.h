// Which display frames of the page take a sand step.
//
// The browser calls back once per display refresh, at 60 Hz or at 75, 120, 144 Hz and more. The
// sand takes one step per drawn frame, so on a fast display frames are skipped to keep the sand
// at its speed: step n is due one sixtieth of a second after step n - 1 was due, which keeps the
// average at most 60 a second whatever the display does. A frame is taken a little before it is
// due, since frame times jitter and a 60 Hz display must not lose every other frame to that.
// A frame more than a period late (after a stall, or on a display slower than 60 Hz) starts the
// schedule afresh from itself instead of catching up in a burst.
// Each step's dt is the time since the last step, so the animation runs on elapsed time.
#pragma once

constexpr double STEP_PERIOD_MS = 1000.0 / 60.0;
constexpr double STEP_EARLY_MS = STEP_PERIOD_MS / 4;

struct StepSchedule {
    double last_ms;  // the last step's frame time, or the (re)start
    double due_ms;   // when the next step is due
    bool fresh;      // the next frame steps and starts the schedule
};

// Starts the schedule at now_ms (page start, or the tab shown again): the next frame steps,
// with dt measured from now_ms.
inline void restart_steps(StepSchedule& schedule, double now_ms) {
    schedule.last_ms = now_ms;
    schedule.due_ms = now_ms;
    schedule.fresh = true;
}

// True when the frame shown at now_ms takes a step; dt is then set to the seconds since the last
// one (0 if the clock went back).
inline bool take_step(StepSchedule& schedule, double now_ms, float& dt) {
    if (!schedule.fresh && now_ms < schedule.due_ms - STEP_EARLY_MS) return false;
    dt = now_ms > schedule.last_ms ? static_cast<float>((now_ms - schedule.last_ms) / 1000.0)
                                   : 0.0f;
    schedule.last_ms = now_ms;
    if (schedule.fresh || now_ms - schedule.due_ms > STEP_PERIOD_MS)
        schedule.due_ms = now_ms + STEP_PERIOD_MS;
    else
        schedule.due_ms += STEP_PERIOD_MS;
    schedule.fresh = false;
    return true;
}
