// sandglass-render: runs the saver's frames headless and writes what was asked for: the last
// frame as PNG or raw bytes, the animation as GIF, the grains as text. Prints one summary line
// whose hash pins the last frame down to the bit.
//
// Exit codes: 0 every output complete and in place and the summary line written; 1 an output
// or the summary line could not be written; 2 bad arguments; 130 interrupted (SIGINT, SIGTERM,
// SIGHUP). The summary line goes out before any output is put in place, so a failure to write
// it leaves every output name as it was. Nothing here is allocated on the heap.
#include <cerrno>
#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <unistd.h>

#include "headless.h"
#include "image_output.h"
#include "output_file.h"
#include "render_options.h"
#include "world.h"

enum { EXIT_WRITE_FAILED = 1, EXIT_BAD_ARGUMENTS = 2, EXIT_INTERRUPTED = 130 };

static volatile std::sig_atomic_t interrupted = 0;

static void on_signal(int) { interrupted = 1; }

static RenderOptions options;
static OutputFile outputs[OUTPUT_COUNT];
static GifOutput gif_writer;
static Message error;

static bool wanted(int output) { return options.outputs[output] != nullptr; }

// No SA_RESTART: a wait for a FIFO's reader or a blocked write ends when the user gives up.
// A closed pipe and a file size limit become write errors (EPIPE, EFBIG) instead of deaths,
// so they are reported and cleaned up like any other.
static void catch_signals() {
    struct sigaction action = {};
    sigemptyset(&action.sa_mask);
    action.sa_handler = on_signal;
    static const int STOPPING[] = {SIGINT, SIGTERM, SIGHUP};
    for (int signal_number : STOPPING) sigaction(signal_number, &action, nullptr);
    action.sa_handler = SIG_IGN;
    static const int FAILING_WRITES[] = {SIGPIPE, SIGXFSZ};
    for (int signal_number : FAILING_WRITES) sigaction(signal_number, &action, nullptr);
}

// Unbuffered; not retried on EINTR, so that a signal ends a write nobody reads.
static bool write_fd(int fd, const char* text, size_t size) {
    while (size > 0) {
        ssize_t done = write(fd, text, size);
        if (done < 0) return false;
        text += done;
        size -= static_cast<size_t>(done);
    }
    return true;
}

// Every temporary file removed; what a device or FIFO already received stays received.
static int give_up(int code) {
    if (interrupted) {
        message_set(error, "interrupted; no output put in place");
        code = EXIT_INTERRUPTED;
    }
    complain(error);
    Message ignored;
    gif_end(gif_writer, ignored);
    for (OutputFile& out : outputs) output_abandon(out);
    return code;
}

// Looks at every target before anything is created: an output that cannot be reached fails
// with 1, two outputs that land in one file are bad arguments.
static int check_targets() {
    for (int i = 0; i < OUTPUT_COUNT; ++i)
        if (wanted(i) && !output_resolve(outputs[i], options.outputs[i], error))
            return EXIT_WRITE_FAILED;
    for (int a = 0; a < OUTPUT_COUNT; ++a)
        for (int b = a + 1; b < OUTPUT_COUNT; ++b)
            if (wanted(a) && wanted(b) && output_same(outputs[a], outputs[b])) {
                char first[ECHO_SIZE], second[ECHO_SIZE];
                echo_text(first, sizeof first, options.outputs[a]);
                echo_text(second, sizeof second, options.outputs[b]);
                message_set(error, "%s %s and %s %s are the same file", OUTPUT_FLAGS[a], first,
                            OUTPUT_FLAGS[b], second);
                return EXIT_BAD_ARGUMENTS;
            }
    return 0;
}

// Creates every temporary file (and opens every direct target) before the run, so that an
// unwritable name fails at once.
static bool open_all() {
    for (int i = 0; i < OUTPUT_COUNT; ++i)
        if (wanted(i) && !output_open(outputs[i], error)) return false;
    return !wanted(OUTPUT_GIF) ||
           gif_begin(gif_writer, outputs[OUTPUT_GIF], options.scale, error);
}

static bool write_grains(OutputFile& out) {
    for (int32_t i = 0; i < world.pool.count; ++i) {
        const Particle* g = world.pool.entries[i];
        char line[96];
        int length = std::snprintf(line, sizeof line, "%" PRId32 " %d %d %d %d %d %d\n", i, g->x,
                                   g->y, g->red, g->green, g->blue, g->rest);
        if (!output_write(out, line, static_cast<size_t>(length))) return false;
    }
    return true;
}

// The last frame's files, then every output flushed and closed (still under its temporary
// name).
static bool finish_all(const HeadlessRun* run) {
    if (wanted(OUTPUT_PNG) && !write_png(outputs[OUTPUT_PNG], run, options.scale, error))
        return false;
    if (wanted(OUTPUT_RAW) && !write_raw(outputs[OUTPUT_RAW], run, options.scale)) {
        output_error(outputs[OUTPUT_RAW], error);
        return false;
    }
    if (wanted(OUTPUT_GRAINS) && !write_grains(outputs[OUTPUT_GRAINS])) {
        output_error(outputs[OUTPUT_GRAINS], error);
        return false;
    }
    if (wanted(OUTPUT_GIF) && !gif_end(gif_writer, error)) return false;
    for (int i = 0; i < OUTPUT_COUNT; ++i)
        if (wanted(i) && !output_finish(outputs[i], error)) return false;
    return true;
}

static double seconds_now() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

static void show_progress(int64_t frame) {
    char line[128];
    int length = std::snprintf(line, sizeof line,
                               "\rsandglass-render: frame %" PRId64 " of %" PRId64 " (%d%%)",
                               frame, options.frames,
                               static_cast<int>(frame * 100 / options.frames));
    write_fd(STDERR_FILENO, line, static_cast<size_t>(length));
}

int main(int argc, char** argv) {
    catch_signals();
    if (!parse_render_options(argc, argv, options, error)) {
        complain(error);
        return EXIT_BAD_ARGUMENTS;
    }
    if (options.help) {
        if (write_fd(STDOUT_FILENO, RENDER_USAGE, std::strlen(RENDER_USAGE))) return 0;
        // A signal that ends a write blocked on a full pipe is an interruption, not a failure.
        int number = errno;
        if (interrupted) {
            message_set(error, "interrupted while writing the usage");
            complain(error);
            return EXIT_INTERRUPTED;
        }
        message_set(error, "cannot write the usage to standard output: %s", std::strerror(number));
        complain(error);
        return EXIT_WRITE_FAILED;
    }

    if (int code = check_targets()) {
        complain(error);
        return code;
    }
    if (!open_all()) return give_up(EXIT_WRITE_FAILED);

    HeadlessRun* run = headless_start(options.bits_per_pixel);
    bool progress = isatty(STDERR_FILENO) && options.frames >= 600;
    double next_report = seconds_now() + 0.5;
    int64_t last_image = 0;
    for (int64_t frame = 1; frame <= options.frames; ++frame) {
        headless_frame(run, options.dt);
        if (wanted(OUTPUT_GIF) && (frame % options.gif_every == 0 || frame == options.frames)) {
            double shown = static_cast<double>(frame - last_image) * static_cast<double>(options.dt);
            last_image = frame;
            if (!gif_add_image(gif_writer, run, shown, error)) {
                if (progress) write_fd(STDERR_FILENO, "\n", 1);
                return give_up(EXIT_WRITE_FAILED);
            }
        }
        if (interrupted) {
            if (progress) write_fd(STDERR_FILENO, "\n", 1);
            return give_up(EXIT_INTERRUPTED);
        }
        if (progress && (frame & 31) == 0 && seconds_now() >= next_report) {
            next_report += 0.5;
            show_progress(frame);
        }
    }
    if (progress) write_fd(STDERR_FILENO, "\r\033[K", 4);

    if (!finish_all(run) || interrupted) return give_up(EXIT_WRITE_FAILED);

    // The summary is the run's main result: it goes out before the outputs are put in place,
    // and when it cannot, none of them is.
    char summary[256];
    int length = headless_summary(run, summary, sizeof summary - 1);
    if (length < 0 || length > static_cast<int>(sizeof summary) - 2) length = sizeof summary - 2;
    summary[length++] = '\n';
    if (!write_fd(STDOUT_FILENO, summary, static_cast<size_t>(length))) {
        int number = errno;
        message_set(error, "cannot write the summary line to standard output: %s",
                    std::strerror(number));
        return give_up(EXIT_WRITE_FAILED);
    }
    for (OutputFile& out : outputs)
        if (out.name != nullptr && !output_commit(out, error)) {
            interrupted = 0;  // past the summary line a signal no longer stops the run
            return give_up(EXIT_WRITE_FAILED);
        }
    return 0;
}
