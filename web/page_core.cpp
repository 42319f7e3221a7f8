// The core's entry points for the page's script: start-up, a given run of frames, and one call
// per display refresh that decides whether the frame takes a step.
#include <cstdint>

#include "animation.h"
#include "canvas_layout.h"
#include "frame_fit.h"
#include "number_text.h"
#include "step_schedule.h"

#define PAGE_EXPORT extern "C" __attribute__((used))

constexpr int32_t CANVAS_PITCH = FRAME_WIDTH * 4;
constexpr int32_t TEXT_SIZE = 4096;       // a parameter's bytes and their terminating 0

static uint8_t canvas_memory[CANVAS_PITCH * FRAME_HEIGHT];
static StepSchedule schedule;
static char parameter_text[TEXT_SIZE];

static void run_frame(float dt) {
    clear_frame(canvas_memory, CANVAS_PITCH);
    run_animation_step(canvas_memory, CANVAS_PITCH, dt);
}

// A fresh animation; returns the surface (the canvas's ImageData bytes) the frames go into.
PAGE_EXPORT uint8_t* sandglass_start() {
    start_animation(CANVAS_LAYOUT, 0);
    set_opaque_bits(CANVAS_OPAQUE_BITS);
    clear_frame(canvas_memory, CANVAS_PITCH);
    return canvas_memory;
}

// count frames of dt seconds each, exactly as the renderer runs them.
PAGE_EXPORT void sandglass_frames(int32_t count, float dt) {
    for (int32_t i = 0; i < count; ++i) run_frame(dt);
}

// The display shows a frame at now_ms: 1 when it takes a step and the surface holds a new frame.
PAGE_EXPORT int32_t sandglass_tick(double now_ms) {
    float dt = 0.0f;
    if (!take_step(schedule, now_ms, dt)) return 0;
    run_frame(dt);
    return 1;
}

// The clock starts (again) at now_ms: at start-up, and when a hidden page is shown again.
PAGE_EXPORT void sandglass_resume(double now_ms) { restart_steps(schedule, now_ms); }

// The frame's size, for the canvas and its image.
PAGE_EXPORT int32_t sandglass_frame_width() { return FRAME_WIDTH; }
PAGE_EXPORT int32_t sandglass_frame_height() { return FRAME_HEIGHT; }

// Full screen: the frame's size in a screen of width x height device pixels, by the placement
// rule every front-end uses (the largest whole factor that fits, or the frame reduced).
PAGE_EXPORT int32_t sandglass_fit_width(int32_t width, int32_t height) {
    return fit_frame(width, height, FRAME_FILL).width;
}
PAGE_EXPORT int32_t sandglass_fit_height(int32_t width, int32_t height) {
    return fit_frame(width, height, FRAME_FILL).height;
}

// The address's numbers are read by the core's rule, the renderer's: the script writes a
// parameter's UTF-8 bytes and a 0 here, then asks for the number.
PAGE_EXPORT char* sandglass_text() { return parameter_text; }

// frames=N: the count, or 0 when the text breaks the rule or is not from 1 to MAX_RUN_FRAMES.
PAGE_EXPORT int32_t sandglass_read_frames(int32_t length) {
    int64_t frames = 0;
    if (length < 0 || length >= TEXT_SIZE || parameter_text[length] != '\0') return 0;
    if (read_whole(parameter_text, static_cast<size_t>(length), 1, MAX_RUN_FRAMES, frames) !=
        NumberRead::OK)
        return 0;
    return static_cast<int32_t>(frames);
}

// dt=S: the time narrowed as the renderer's --dt, or -1 when the text breaks the rule.
PAGE_EXPORT float sandglass_read_dt(int32_t length) {
    float dt = 0.0f;
    if (length < 0 || length >= TEXT_SIZE || parameter_text[length] != '\0') return -1.0f;
    if (read_seconds(parameter_text, static_cast<size_t>(length), dt) != NumberRead::OK)
        return -1.0f;
    return dt;
}
