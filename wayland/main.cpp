// sandglass-wayland: the falling-sand hourglass on every output of a Wayland compositor, as an
// idle daemon's screen saver. The loop sleeps in poll until the compositor says a surface's
// frame was shown, a step falls due, or a stop signal comes; it never spins.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "animation.h"
#include "client.h"
#include "echo_text.h"
#include "frame_changes.h"
#include "layer_shell.h"
#include "options.h"
#include "step_schedule.h"
#include "viewporter-client-protocol.h"
#include "xdg-shell-client-protocol.h"

Globals globals;
Output outputs[MAX_OUTPUTS];
View window_view;
Seat seats[MAX_SEATS];
bool own_window;
int32_t scale_request;
PointerWatch pointer_watch;
bool end_requested;

static bool views_open;  // outputs that appear from now on get a view at once

constexpr int32_t FRAME_PITCH = FRAME_WIDTH * 4;
// Two frames in turn: each step is drawn whole into one and compared with the other.
static uint8_t frame_pixels[2][FRAME_PITCH * FRAME_HEIGHT];
static FrameChanges frame_changes;

// After this long without a step (every output hidden), the schedule starts afresh rather than
// making one step of the whole pause.
constexpr double PAUSE_MS = 250.0;

// One line on standard error, printf style.
static void say(const char* format, ...) __attribute__((format(printf, 1, 2)));

static void say(const char* format, ...) {
    static char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::fprintf(stderr, "sandglass-wayland: %s\n", line);
}

static double monotonic_ms() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

// --- outputs ------------------------------------------------------------------------------------

static void on_geometry(void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t,
                        const char*, const char*, int32_t) {
    Output& output = *static_cast<Output*>(data);
    output.x = x;
    output.y = y;
}

static void on_mode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height,
                    int32_t) {
    Output& output = *static_cast<Output*>(data);
    if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
    output.mode_width = width;
    output.mode_height = height;
}

static void on_done(void* data, wl_output*) {
    Output& output = *static_cast<Output*>(data);
    output.described = true;
    if (output.view.exists)
        output_scale_changed(output);
    else if (views_open && !own_window)
        open_output_view(output);
}

static void on_scale(void* data, wl_output*, int32_t factor) {
    static_cast<Output*>(data)->scale = factor > 0 ? factor : 1;
}

// Bound at version 3 at most: these two never come.
static void on_name(void*, wl_output*, const char*) {}
static void on_description(void*, wl_output*, const char*) {}

static const wl_output_listener OUTPUT_LISTENER = {
    .geometry = on_geometry,
    .mode = on_mode,
    .done = on_done,
    .scale = on_scale,
    .name = on_name,
    .description = on_description,
};

static void bind_output(uint32_t name, uint32_t version) {
    if (version < 2) return;  // no scale and no done event: not worth a view
    for (Output& output : outputs) {
        if (output.used) continue;
        output = {};
        output.used = true;
        output.name = name;
        output.scale = 1;
        output.output = static_cast<wl_output*>(
            wl_registry_bind(globals.registry, name, &wl_output_interface, version < 3 ? 2 : 3));
        wl_output_add_listener(output.output, &OUTPUT_LISTENER, &output);
        return;
    }
}

static void unbind_output(Output& output) {
    close_view(output.view);
    if (wl_output_get_version(output.output) >= 3)
        wl_output_release(output.output);
    else
        wl_output_destroy(output.output);
    output = {};
}

// --- globals ------------------------------------------------------------------------------------

static void on_ping(void*, xdg_wm_base* base, uint32_t serial) { xdg_wm_base_pong(base, serial); }

static const xdg_wm_base_listener WM_BASE_LISTENER = {on_ping};

template <typename T>
static T* bind(uint32_t name, const wl_interface* interface, uint32_t version) {
    return static_cast<T*>(wl_registry_bind(globals.registry, name, interface, version));
}

static void on_global(void*, wl_registry*, uint32_t name, const char* interface, uint32_t version) {
    if (!std::strcmp(interface, wl_compositor_interface.name) && version >= 4) {
        globals.compositor = bind<wl_compositor>(name, &wl_compositor_interface, 4);
    } else if (!std::strcmp(interface, wl_subcompositor_interface.name)) {
        globals.subcompositor = bind<wl_subcompositor>(name, &wl_subcompositor_interface, 1);
    } else if (!std::strcmp(interface, wl_shm_interface.name)) {
        globals.shm = bind<wl_shm>(name, &wl_shm_interface, 1);
    } else if (!std::strcmp(interface, wp_viewporter_interface.name)) {
        globals.viewporter = bind<wp_viewporter>(name, &wp_viewporter_interface, 1);
    } else if (!std::strcmp(interface, zwlr_layer_shell_v1_interface.name)) {
        globals.layer_shell = bind<zwlr_layer_shell_v1>(name, &zwlr_layer_shell_v1_interface, 1);
    } else if (!std::strcmp(interface, xdg_wm_base_interface.name)) {
        globals.wm_base = bind<xdg_wm_base>(name, &xdg_wm_base_interface, 1);
        xdg_wm_base_add_listener(globals.wm_base, &WM_BASE_LISTENER, nullptr);
    } else if (!std::strcmp(interface, wl_output_interface.name)) {
        bind_output(name, version);
    } else if (!std::strcmp(interface, wl_seat_interface.name)) {
        bind_seat(name, version);
    }
}

static void on_global_remove(void*, wl_registry*, uint32_t name) {
    for (Output& output : outputs)
        if (output.used && output.name == name) unbind_output(output);
    unbind_seat(name);
}

static const wl_registry_listener REGISTRY_LISTENER = {on_global, on_global_remove};

// The interface the compositor lacks, or nullptr when it has all that is needed.
static const char* missing_global() {
    if (globals.compositor == nullptr) return "wl_compositor 4";
    if (globals.subcompositor == nullptr) return "wl_subcompositor";
    if (globals.shm == nullptr) return "wl_shm";
    if (globals.viewporter == nullptr) return "wp_viewporter";
    if (globals.wm_base == nullptr && (own_window || globals.layer_shell == nullptr))
        return "xdg_wm_base";
    return nullptr;
}

// --- the loop -----------------------------------------------------------------------------------

struct Animation {
    StepSchedule schedule;
    uint64_t generation;  // steps taken so far; each is one frame
    int64_t limit;        // -frames: no steps beyond it (0: none)
    float fixed_dt;       // -dt: every step this long (0: the time since the last step)
};

static Animation animation;

// Steps when one is due and some output waits for a frame, then gives the frame to every view
// ready for it. Returns how long poll may sleep (-1: until something happens).
static int advance(double now_ms) {
    if (!any_view_ready()) return -1;
    const bool stepping =
        animation.limit == 0 || static_cast<int64_t>(animation.generation) < animation.limit;
    if (stepping) {
        if (animation.generation > 0 && now_ms - animation.schedule.last_ms > PAUSE_MS)
            restart_steps(animation.schedule, now_ms);
        float dt = 0.0f;
        if (take_step(animation.schedule, now_ms, dt)) {
            const uint64_t step = animation.generation + 1;
            uint8_t* frame = frame_pixels[step & 1];
            clear_frame(frame, FRAME_PITCH);
            run_animation_step(frame, FRAME_PITCH,
                               animation.fixed_dt > 0.0f ? animation.fixed_dt : dt);
            record_change(frame_changes, step,
                          step == 1
                              ? WHOLE_FRAME
                              : changed_area(frame, frame_pixels[(step - 1) & 1], FRAME_PITCH));
            animation.generation = step;
        }
    }
    if (animation.generation > 0)
        draw_views(frame_pixels[animation.generation & 1], FRAME_PITCH, frame_changes);
    const bool more =
        animation.limit == 0 || static_cast<int64_t>(animation.generation) < animation.limit;
    if (!more || !any_view_ready()) return -1;
    const double wait = animation.schedule.due_ms - STEP_EARLY_MS - now_ms;
    return wait < 1.0 ? 1 : static_cast<int>(std::ceil(wait));
}

// The connection is gone or broken: one line saying which.
static int connection_lost() {
    const int code = wl_display_get_error(globals.display);
    if (code == EPROTO)
        std::fprintf(stderr, "sandglass-wayland: the compositor refused a request\n");
    else
        say("the compositor went away (%s)", std::strerror(code != 0 ? code : EPIPE));
    return 1;
}

constexpr int KEEP_GOING = -1;

// Serves the connection (and, once set up, the animation) until input ends the program (0), a
// stop signal comes (0), or the connection is lost (1); with until, only until that turns true
// (KEEP_GOING).
static int serve(int signal_fd, const bool* until) {
    wl_display* display = globals.display;
    for (;;) {
        if (wl_display_dispatch_pending(display) < 0) return connection_lost();
        if (end_requested) return 0;
        if (until != nullptr && *until) return KEEP_GOING;
        int timeout = until != nullptr ? -1 : advance(monotonic_ms());
        while (wl_display_prepare_read(display) != 0) {
            if (wl_display_dispatch_pending(display) < 0) return connection_lost();
            timeout = 0;
        }
        short events = POLLIN;
        if (wl_display_flush(display) < 0) {
            if (errno != EAGAIN) {
                wl_display_cancel_read(display);
                return connection_lost();
            }
            events |= POLLOUT;
        }
        pollfd fds[2] = {{wl_display_get_fd(display), events, 0}, {signal_fd, POLLIN, 0}};
        if (poll(fds, 2, timeout) < 0 && errno != EINTR) {
            wl_display_cancel_read(display);
            return connection_lost();
        }
        if (fds[1].revents & POLLIN) {
            wl_display_cancel_read(display);
            return 0;
        }
        if (fds[0].revents & (POLLIN | POLLERR | POLLHUP)) {
            if (wl_display_read_events(display) < 0) return connection_lost();
        } else {
            wl_display_cancel_read(display);
        }
    }
}

static bool synced;

static void on_synced(void*, wl_callback* callback, uint32_t) {
    wl_callback_destroy(callback);
    synced = true;
}

static const wl_callback_listener SYNC_LISTENER = {on_synced};

// A round trip that a stop signal or a lost connection cuts short, as wl_display_roundtrip
// would not: a compositor that takes the connection and never answers must not hold it.
static int round_trip(int signal_fd) {
    synced = false;
    wl_callback_add_listener(wl_display_sync(globals.display), &SYNC_LISTENER, nullptr);
    return serve(signal_fd, &synced);
}

// SIGTERM, SIGINT and SIGHUP are read from a descriptor the loop polls, so a stop always wakes
// its sleep and never lands halfway through a request.
static int stop_signals() {
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGHUP);
    sigprocmask(SIG_BLOCK, &stops, nullptr);
    // A write to a dead connection is then EPIPE, reported as a lost connection.
    signal(SIGPIPE, SIG_IGN);
    return signalfd(-1, &stops, SFD_CLOEXEC);
}

int main(int argc, char** argv) {
    WaylandOptions options;
    const char* error = nullptr;
    const char* argument = nullptr;
    static char echoed[256];
    switch (parse_options(argc, argv, options, error, argument)) {
    case ParseResult::HELP: std::fputs(USAGE, stdout); return 0;
    case ParseResult::BAD:
        echo_text(echoed, sizeof echoed, argument);
        std::fprintf(stderr, "sandglass-wayland: %s: %s\n%s", echoed, error, USAGE);
        return 2;
    case ParseResult::RUN: break;
    }
    own_window = options.window;
    scale_request = options.scale_request;
    animation.limit = options.frames;
    animation.fixed_dt = options.dt;

    const int signal_fd = stop_signals();
    if (signal_fd < 0) {
        say("cannot watch for stop signals (%s)", std::strerror(errno));
        return 1;
    }
    globals.display = wl_display_connect(nullptr);
    if (globals.display == nullptr) {
        const char* name = std::getenv("WAYLAND_DISPLAY");
        if (name == nullptr || name[0] == '\0') {
            say("%s", "no Wayland compositor: WAYLAND_DISPLAY is not set");
        } else {
            echo_text(echoed, sizeof echoed, name);
            say("cannot connect to the Wayland compositor %s", echoed);
        }
        return 1;
    }
    globals.registry = wl_display_get_registry(globals.display);
    wl_registry_add_listener(globals.registry, &REGISTRY_LISTENER, nullptr);
    // The globals, then the outputs' descriptions.
    int code = round_trip(signal_fd);
    if (code == KEEP_GOING) code = round_trip(signal_fd);
    if (code != KEEP_GOING) {
        wl_display_disconnect(globals.display);
        return code;
    }
    if (const char* missing = missing_global()) {
        say("the compositor offers no %s", missing);
        return 1;
    }

    start_animation(layout_for_depth(32), 0);
    views_open = true;
    if (own_window) {
        open_window_view();
    } else {
        for (Output& output : outputs)
            if (output.used && output.described) open_output_view(output);
    }
    const double started_ms = monotonic_ms();
    restart_steps(animation.schedule, started_ms);
    code = serve(signal_fd, nullptr);
    if (code == 0 && options.report)
        std::printf("sandglass-wayland: steps=%llu seconds=%.3f\n",
                    static_cast<unsigned long long>(animation.generation),
                    (monotonic_ms() - started_ms) / 1000.0);
    if (code == 0) {
        close_all_views();
        release_seats();
        wl_display_flush(globals.display);
    }
    wl_display_disconnect(globals.display);
    return code;
}
