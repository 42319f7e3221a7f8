// sandglass for X11: the falling-sand hourglass as a program XScreenSaver (and the MATE and
// Xfce savers) can run. The loop draws a frame, shows it, then sleeps until the next is due or
// an event arrives; SIGTERM, SIGINT and SIGHUP end it with exit code 0, within half a second
// whatever the X server does.
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "animation.h"
#include "echo_text.h"
#include "options.h"
#include "x_screen.h"

static volatile sig_atomic_t stop_requested;
static sigset_t stop_signals;
static timer_t stop_deadline;

// A stop gives the way out this long to hand the window back; a server that is stopped, or
// grabbed by another client, must not keep a saver alive that was told to go.
constexpr long STOP_GRACE_NS = 500000000;

static void on_stop_signal(int) {
    if (!stop_requested) {
        const itimerspec once = {{0, 0}, {0, STOP_GRACE_NS}};
        timer_settime(stop_deadline, 0, &once, nullptr);
    }
    stop_requested = 1;
}

static volatile sig_atomic_t connection_fd = -1;  // the server's socket, once all is set up

// How long a server that stopped answering gets to read what was sent before the deadline.
constexpr int64_t LINGER_MS = 30000;

static int64_t monotonic_us() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

// The frame clock counts milliseconds in 32 bits, as the Windows tick does; wrapping is fine.
static uint32_t tick_ms(int64_t us) { return static_cast<uint32_t>(us / 1000); }

// The requests sent before the deadline (a colormap handed back among them) are read by the
// server only while the connection stays open: closed, it drops them unread. A child keeps
// it open, half closed, so that the server ends it once it has read everything, and gives up
// after LINGER_MS. Only async-signal-safe calls here.
static void linger_for_server(int fd) {
    for (int i = 0; i < 3; ++i) close(i);
    shutdown(fd, SHUT_WR);
    const int64_t end = monotonic_us() + LINGER_MS * 1000;
    char discard[4096];
    for (int64_t now = monotonic_us(); now < end; now = monotonic_us()) {
        pollfd connection = {fd, POLLIN, 0};
        if (poll(&connection, 1, static_cast<int>((end - now) / 1000) + 1) < 0 && errno != EINTR)
            break;
        if ((connection.revents & (POLLIN | POLLHUP | POLLERR)) != 0 &&
            read(fd, discard, sizeof discard) <= 0)
            break;
    }
    _exit(0);
}

// Inside Xlib, waiting on the server: nothing of Xlib may be called here.
static void on_stop_deadline(int) {
    static const char LINE[] = "sandglass: the X server did not answer in time; ended anyway\n";
    const ssize_t written = write(STDERR_FILENO, LINE, sizeof LINE - 1);
    static_cast<void>(written);
    if (connection_fd >= 0 && fork() == 0) linger_for_server(connection_fd);
    _exit(0);
}

// The stop signals only set a flag and start the deadline, so they may come anywhere, Xlib
// included (which retries its interrupted calls); they are blocked only from the last look at
// the flag until ppoll, which takes them atomically.
static bool catch_stop_signals() {
    sigevent deadline_event = {};
    deadline_event.sigev_notify = SIGEV_SIGNAL;
    deadline_event.sigev_signo = SIGALRM;
    if (timer_create(CLOCK_MONOTONIC, &deadline_event, &stop_deadline) != 0) {
        std::perror("sandglass: timer_create");
        return false;
    }
    struct sigaction action = {};
    sigemptyset(&action.sa_mask);
    action.sa_handler = on_stop_deadline;
    sigaction(SIGALRM, &action, nullptr);
    static const int STOPS[] = {SIGTERM, SIGINT, SIGHUP};
    sigemptyset(&stop_signals);
    action.sa_handler = on_stop_signal;
    for (int signal_number : STOPS) {
        sigaddset(&stop_signals, signal_number);
        sigaddset(&action.sa_mask, signal_number);
    }
    for (int signal_number : STOPS) sigaction(signal_number, &action, nullptr);
    // A write to a dead connection is then EPIPE, reported as a lost connection.
    signal(SIGPIPE, SIG_IGN);
    return true;
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
static void sleep_until(int64_t due_us) {
    // Events Xlib read while waiting for the server (present_frame's XSync) are off the socket
    // already: polling it would leave them, a q or a close among them, until the next frame.
    if (XEventsQueued(x_screen.display, QueuedAlready) > 0) return;
    sigset_t awake;
    sigprocmask(SIG_BLOCK, &stop_signals, &awake);
    const int64_t wait = due_us - monotonic_us();
    if (!stop_requested && wait > 0) {
        timespec timeout = {static_cast<time_t>(wait / 1000000),
                            static_cast<long>(wait % 1000000) * 1000};
        pollfd connection = {ConnectionNumber(x_screen.display), POLLIN, 0};
        ppoll(&connection, 1, &timeout, &awake);
    }
    sigprocmask(SIG_SETMASK, &awake, nullptr);
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
static int run(const SaverOptions& options) {
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
        sleep_until(due_us);
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
    char shown[512];
    switch (parse_options(argc, argv, options, error, argument)) {
    case ParseResult::HELP: std::fputs(USAGE, stdout); return 0;
    case ParseResult::BAD:
        echo_text(shown, sizeof shown, argument);
        std::fprintf(stderr, "sandglass: %s: %s\n%s", shown, error, USAGE);
        return 2;
    case ParseResult::RUN: break;
    }
    bool bad_environment = false;
    const char* saver_window = std::getenv("XSCREENSAVER_WINDOW");
    apply_saver_window(options, saver_window, bad_environment);
    if (bad_environment) {
        echo_text(shown, sizeof shown, saver_window);
        std::fprintf(stderr, "sandglass: $XSCREENSAVER_WINDOW is not a window id: %s\n", shown);
        return 1;
    }
    if (!catch_stop_signals()) return 1;
    if (!open_x_screen(options)) return 1;
    connection_fd = ConnectionNumber(x_screen.display);
    const int code = run(options);
    close_x_screen();
    return code;
}
