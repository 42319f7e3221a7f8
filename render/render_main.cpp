// sandglass-render: runs the saver's frames headless and writes what was asked for: the last
// frame as PNG or raw bytes, the animation as GIF, the grains as text. Always prints one
// summary line whose hash pins the last frame down to the bit.
#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>
#include <unistd.h>

#include "headless.h"
#include "image_output.h"
#include "output_file.h"
#include "render_options.h"
#include "world.h"

enum { EXIT_WRITE_FAILED = 1, EXIT_BAD_ARGUMENTS = 2, EXIT_INTERRUPTED = 130 };

static volatile std::sig_atomic_t interrupted = 0;

static void on_signal(int) { interrupted = 1; }

static void complain(const std::string& text) {
    std::fprintf(stderr, "sandglass-render: %s\n", text.c_str());
}

struct Outputs {
    OutputFile png, gif, raw, grains;
    GifOutput gif_writer;
};

static void abandon_all(Outputs& out) {
    std::string ignored;
    gif_end(out.gif_writer, ignored);
    output_abandon(out.png);
    output_abandon(out.gif);
    output_abandon(out.raw);
    output_abandon(out.grains);
}

// Creates every temporary file before the run, so that an unwritable name fails at once.
static bool open_all(const RenderOptions& options, Outputs& out, std::string& error) {
    if (!options.png.empty() && !output_open(out.png, options.png, error)) return false;
    if (!options.raw.empty() && !output_open(out.raw, options.raw, error)) return false;
    if (!options.grains.empty() && !output_open(out.grains, options.grains, error)) return false;
    if (!options.gif.empty()) {
        if (!output_open(out.gif, options.gif, error)) return false;
        if (!gif_begin(out.gif_writer, output_release_fd(out.gif), error)) return false;
    }
    return true;
}

static bool write_raw(FILE* file, const HeadlessRun* run) {
    size_t size = headless_surface_size(run);
    return std::fwrite(run->surface, 1, size, file) == size;
}

static bool write_grains(FILE* file) {
    for (int32_t i = 0; i < world.pool.count; ++i) {
        const Particle* g = world.pool.entries[i];
        if (std::fprintf(file, "%" PRId32 " %d %d %d %d %d %d\n", i, g->x, g->y, g->red,
                         g->green, g->blue, g->rest) < 0)
            return false;
    }
    return true;
}

// The last frame's files, then every commit; the first failure abandons the rest.
static bool finish_all(const RenderOptions& options, const HeadlessRun* run, Outputs& out,
                       std::string& error) {
    if (!options.png.empty()) {
        FILE* file = output_stream(out.png);
        if (file == nullptr || !write_png(file, run, error)) {
            if (error.empty()) error = "cannot write '" + options.png + "'";
            return false;
        }
    }
    if (!options.raw.empty()) {
        FILE* file = output_stream(out.raw);
        if (file == nullptr || !write_raw(file, run)) {
            error = "cannot write '" + options.raw + "'";
            return false;
        }
    }
    if (!options.grains.empty()) {
        FILE* file = output_stream(out.grains);
        if (file == nullptr || !write_grains(file)) {
            error = "cannot write '" + options.grains + "'";
            return false;
        }
    }
    if (!options.gif.empty() && !gif_end(out.gif_writer, error)) return false;
    OutputFile* files[] = {&out.png, &out.raw, &out.grains, &out.gif};
    for (OutputFile* file : files)
        if (!file->temp_path.empty() && !output_commit(*file, error)) return false;
    return true;
}

static double seconds_now() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

int main(int argc, char** argv) {
    RenderOptions options;
    std::string error;
    if (!parse_render_options(argc, argv, options, error)) {
        complain(error);
        return EXIT_BAD_ARGUMENTS;
    }
    if (options.help) {
        std::fputs(RENDER_USAGE, stdout);
        return 0;
    }

    std::signal(SIGINT, on_signal);
    std::signal(SIGTERM, on_signal);
    std::signal(SIGHUP, on_signal);

    Outputs out;
    if (!open_all(options, out, error)) {
        complain(error);
        abandon_all(out);
        return EXIT_WRITE_FAILED;
    }

    HeadlessRun* run = headless_start(options.bits_per_pixel);
    bool progress = isatty(STDERR_FILENO) && options.frames >= 600;
    double next_report = seconds_now() + 0.5;
    int64_t last_image = 0;
    for (int64_t frame = 1; frame <= options.frames; ++frame) {
        headless_frame(run, options.dt);
        if (!options.gif.empty() && (frame % options.gif_every == 0 || frame == options.frames)) {
            double shown = static_cast<double>(frame - last_image) * options.dt;
            last_image = frame;
            if (!gif_add_image(out.gif_writer, run, shown, error)) {
                complain(error);
                abandon_all(out);
                return EXIT_WRITE_FAILED;
            }
        }
        if (interrupted) {
            if (progress) std::fputc('\n', stderr);
            complain("interrupted; no file written");
            abandon_all(out);
            return EXIT_INTERRUPTED;
        }
        if (progress && (frame & 31) == 0 && seconds_now() >= next_report) {
            next_report += 0.5;
            std::fprintf(stderr, "\rsandglass-render: frame %" PRId64 " of %" PRId64 " (%d%%)",
                         frame, options.frames, static_cast<int>(frame * 100 / options.frames));
        }
    }
    if (progress) std::fputs("\r\033[K", stderr);

    bool written = finish_all(options, run, out, error);
    if (!written) {
        complain(error);
        abandon_all(out);
    }
    char summary[256];
    headless_summary(run, summary, sizeof summary);
    std::printf("%s\n", summary);
    // The summary is the run's main result: a line that never arrived is a failure.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        complain("cannot write the summary line to standard output");
        return EXIT_WRITE_FAILED;
    }
    return written ? 0 : EXIT_WRITE_FAILED;
}
