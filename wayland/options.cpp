// Parsing the command line.
#include "options.h"

#include <cstring>

#include "frame_fit.h"
#include "number_text.h"

const char USAGE[] =
    "usage: sandglass-wayland [--window] [--scale N] [-h]\n"
    "A falling-sand hourglass on every output of a Wayland compositor, until a key, a button,\n"
    "a touch or a pointer movement. Options take one dash or two.\n"
    "  --window    one ordinary 640x480 window instead (q or Escape closes it)\n"
    "  --scale N   enlarge the frame by at most N, 1..16 (default: the largest that fits)\n"
    "  -h, --help  this text\n";

static bool parse_whole(const char* text, int64_t low, int64_t high, int64_t& value) {
    return read_whole(text, low, high, value) == NumberRead::OK;
}

// A test-only step: above 0 and at most 10 seconds.
static bool parse_step(const char* text, float& seconds) {
    return read_seconds(text, seconds) == NumberRead::OK && seconds > 0.0f && seconds <= 10.0f;
}

ParseResult parse_options(int argc, char** argv, WaylandOptions& options, const char*& error,
                          const char*& argument) {
    options = {false, FRAME_FILL, 0, 0.0f, false};
    error = nullptr;
    argument = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        argument = arg;
        if (arg[0] != '-') {
            error = "not an option";
            return ParseResult::BAD;
        }
        const char* name = arg[1] == '-' ? arg + 2 : arg + 1;
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        int64_t number = 0;
        if (!std::strcmp(name, "h") || !std::strcmp(name, "help")) {
            return ParseResult::HELP;
        } else if (!std::strcmp(name, "window")) {
            options.window = true;
        } else if (!std::strcmp(name, "scale")) {
            if (!parse_whole(value, 1, FRAME_MAX_FACTOR, number)) {
                error = "needs a whole factor, 1..16";
                return ParseResult::BAD;
            }
            options.scale_request = static_cast<int32_t>(number);
            ++i;
        } else if (!std::strcmp(name, "frames")) {
            if (!parse_whole(value, 1, MAX_RUN_FRAMES, number)) {
                error = "needs a count, 1..10000000";
                return ParseResult::BAD;
            }
            options.frames = number;
            ++i;
        } else if (!std::strcmp(name, "dt")) {
            if (!parse_step(value, options.dt)) {
                error = "needs seconds, above 0 and at most 10";
                return ParseResult::BAD;
            }
            ++i;
        } else if (!std::strcmp(name, "report")) {
            options.report = true;
        } else {
            error = "unknown option";
            return ParseResult::BAD;
        }
    }
    return ParseResult::RUN;
}
