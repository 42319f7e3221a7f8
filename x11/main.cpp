// sandglass for X11: the falling-sand hourglass as a program XScreenSaver (and the MATE and
// Xfce savers) can run. The loop draws a frame, shows it, then sleeps until the next is due or
// an event arrives; SIGTERM and SIGINT end it between any two steps with exit code 0.
#include <poll.h>
#include <signal.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "animation.h"
#include "options.h"
#include "x_screen.h"

static volatile sig_atomic_t stop_requested;

static void on_stop_signal(int) { stop_requested = 1; }

static int64_t monotonic_us() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

// The frame clock counts milliseconds in 32 bits, as the Windows tick does; wrapping is fine.
static uint32_t tick_ms(int64_t us) { return static_cast<uint32_t>(us / 1000); }

// SIGTERM and SIGINT stay blocked except while the loop sleeps in ppoll, so a stop always
// wakes the sleep and never interrupts Xlib halfway through a request.
static void catch_stop_signals(sigset_t& sleeping_mask) {
    struct sigaction action = {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    // A write to a dead connection is then EPIPE, reported as a lost connection.
    signal(SIGPIPE, SIG_IGN);
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    sigprocmask(SIG_BLOCK, &stops, &sleeping_mask);
    sigdelset(&sleeping_mask, SIGTERM);
    sigdelset(&sleeping_mask, SIGINT);
}

enum class EventOutcome { GO_ON, QUIT };

static EventOutcome handle_event(const XEvent& event) {
    switch (event.type) {
    case ConfigureNotify:
        if (event.xconfigure.window == x_screen.window &&
            (event.xconfigure.width != x_screen.width ||
             event.xconfigure.height != x_screen.height))
            resize_x_screen(event.xconfigure.width, event.xconfigure.height);
        break;
    case Expose:
        if (event.xexpose.count == 0) clear_window();
        break;
    case KeyPress: {
        XKeyEvent key = event.xkey;
        const KeySym sym = XLookupKeysym(&key, 0);
        if (x_screen.own_window && (sym == XK_q || sym == XK_Q || sym == XK_Escape))
            return EventOutcome::QUIT;
        break;
    }
    case ClientMessage:
        if (x_screen.own_window &&
            static_cast<Atom>(event.xclient.data.l[0]) == x_screen.delete_window)
            return EventOutcome::QUIT;
        break;
    case DestroyNotify:
        if (event.xdestroywindow.window == x_screen.window && x_screen.own_window)
            return EventOutcome::QUIT;
        break;
    default: break;
    }
    return EventOutcome::GO_ON;
}

static EventOutcome handle_pending_events() {
    while (XPending(x_screen.display) > 0) {
        XEvent event;
        XNextEvent(x_screen.display, &event);
        if (handle_event(event) == EventOutcome::QUIT) return EventOutcome::QUIT;
    }
    return EventOutcome::GO_ON;
}

// Sleeps until due_us or until the server has something for us or a stop signal comes.
static void sleep_until(int64_t due_us, const sigset_t& sleeping_mask) {
    // Events Xlib read while waiting for the server (present_frame's XSync) are off the socket
    // already: polling it would leave them, a q or a close among them, until the next frame.
    if (XEventsQueued(x_screen.display, QueuedAlready) > 0) return;
    const int64_t wait = due_us - monotonic_us();
    if (wait <= 0) {
        // Behind time: no sleep, so look for a stop that the blocked mask is holding back.
        sigset_t pending;
        sigpending(&pending);
        if (sigismember(&pending, SIGTERM) || sigismember(&pending, SIGINT)) stop_requested = 1;
        return;
    }
    timespec timeout = {static_cast<time_t>(wait / 1000000),
                        static_cast<long>(wait % 1000000) * 1000};
    pollfd connection = {ConnectionNumber(x_screen.display), POLLIN, 0};
    ppoll(&connection, 1, &timeout, &sleeping_mask);
}

struct FpsCounter {
    int64_t since_us;
    int32_t frames;
    char text[32];
};

static void count_frame(FpsCounter& fps, int64_t now_us) {
    ++fps.frames;
    const int64_t span = now_us - fps.since_us;
    if (span >= 1000000) {
        std::snprintf(fps.text, sizeof fps.text, "%.1f fps  ", fps.frames * 1e6 / span);
        fps.frames = 0;
        fps.since_us = now_us;
    }
}

// The loop proper. Returns the exit code.
static int run(const SaverOptions& options, const sigset_t& sleeping_mask) {
    uint8_t* pixels = reinterpret_cast<uint8_t*>(x_screen.frame_image->data);
    const int32_t pitch = x_screen.frame_image->bytes_per_line;
    const int64_t start_us = monotonic_us();
    start_animation(x_screen.layout, tick_ms(start_us));
    FpsCounter fps = {start_us, 0, "-- fps  "};
    int64_t drawn = 0;
    int64_t shown = 0;
    int64_t due_us = start_us;
    for (;;) {
        if (handle_pending_events() == EventOutcome::QUIT || stop_requested) break;
        const int64_t now_us = monotonic_us();
        if (now_us >= due_us) {
            // With a frame limit the last frame stays and is shown again each period.
            if (options.frames == 0 || drawn < options.frames) {
                clear_frame(pixels, pitch);
                if (options.dt > 0.0f)
                    run_animation_step(pixels, pitch, options.dt);
                else
                    run_animation_frame(pixels, pitch, tick_ms(now_us));
                ++drawn;
            }
            present_frame();
            ++shown;
            if (options.fps) {
                count_frame(fps, now_us);
                draw_fps_text(fps.text);
            }
            unsigned char code = 0;
            if (take_x_error(code)) {
                std::fprintf(stderr,
                             "sandglass: the window can no longer be drawn into (X error %d)\n",
                             code);
                return 1;
            }
            due_us = now_us + options.delay_us;
        }
        sleep_until(due_us, sleeping_mask);
        if (stop_requested) break;
    }
    if (options.report)
        std::printf("sandglass: frames=%lld seconds=%.3f\n", static_cast<long long>(shown),
                    (monotonic_us() - start_us) / 1e6);
    return 0;
}

int main(int argc, char** argv) {
    SaverOptions options;
    const char* error = nullptr;
    const char* argument = nullptr;
    switch (parse_options(argc, argv, options, error, argument)) {
    case ParseResult::HELP: std::fputs(USAGE, stdout); return 0;
    case ParseResult::BAD:
        std::fprintf(stderr, "sandglass: %s: %s\n%s", argument, error, USAGE);
        return 2;
    case ParseResult::RUN: break;
    }
    bool bad_environment = false;
    apply_saver_window(options, std::getenv("XSCREENSAVER_WINDOW"), bad_environment);
    if (bad_environment) {
        std::fprintf(stderr, "sandglass: $XSCREENSAVER_WINDOW is not a window id: %s\n",
                     std::getenv("XSCREENSAVER_WINDOW"));
        return 1;
    }
    sigset_t sleeping_mask;
    catch_stop_signals(sleeping_mask);
    if (!open_x_screen(options)) return 1;
    const int code = run(options, sleeping_mask);
    close_x_screen();
    return code;
}
