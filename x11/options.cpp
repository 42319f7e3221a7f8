// Parsing the command line. Numbers follow the renderer's rule (digits, in range) or the option
// is bad; the last of -root, -window and -window-id wins.
#include "options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "number_text.h"

const char USAGE[] =
    "usage: sandglass [-root | -window | -window-id ID] [-delay USEC] [-fps]\n"
    "                 [-scale N] [-display NAME] [-h]\n"
    "A falling-sand hourglass for XScreenSaver. Options take one dash or two.\n"
    "  -root           draw on the root window\n"
    "  -window         a window of its own, 640x480 (the default)\n"
    "  -window-id ID   draw into the window ID (hex 0x... or decimal)\n"
    "  -delay USEC     least time between frames (default 16666, about 60 a second)\n"
    "  -fps            show frames per second in the top-left corner\n"
    "  -scale N        enlarge the frame at most N times, 1..16 (default: fill the window)\n"
    "  -display NAME   the X display (default $DISPLAY)\n"
    "  -h, -help       this text\n"
    "$XSCREENSAVER_WINDOW, when set, wins over -root.\n";

static bool parse_whole(const char* text, int64_t low, int64_t high, int64_t& value) {
    return read_whole(text, low, high, value) == NumberRead::OK;
}

// A test-only step: above 0 and at most 10 seconds.
static bool parse_step(const char* text, float& seconds) {
    return read_seconds(text, seconds) == NumberRead::OK && seconds > 0.0f && seconds <= 10.0f;
}

bool parse_window_id(const char* text, unsigned long& id) {
    if (text == nullptr) return false;
    int base = 10;
    const char* digits = text;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        digits = text + 2;
    }
    // strtoul alone would take signs, spaces and octal.
    if (digits[0] == '\0' || std::strchr("+- \t", digits[0]) != nullptr) return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long long parsed = std::strtoull(digits, &end, base);
    // X ids are 29 bits; anything wider is not a window.
    if (*end != '\0' || errno == ERANGE || parsed == 0 || parsed > 0x1FFFFFFFull) return false;
    id = static_cast<unsigned long>(parsed);
    return true;
}

static void set_defaults(SaverOptions& options) {
    options.choice = WindowChoice::OWN_WINDOW;
    options.choice_given = false;
    options.window_id = 0;
    options.delay_us = DEFAULT_DELAY_US;
    options.fps = false;
    options.scale = FRAME_FILL;
    options.display_name = nullptr;
    options.frames = 0;
    options.dt = 0.0f;
    options.report = false;
}

ParseResult parse_options(int argc, char** argv, SaverOptions& options, const char*& error,
                          const char*& argument) {
    set_defaults(options);
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
        } else if (!std::strcmp(name, "root")) {
            options.choice = WindowChoice::ROOT;
            options.choice_given = true;
        } else if (!std::strcmp(name, "window")) {
            options.choice = WindowChoice::OWN_WINDOW;
            options.choice_given = true;
        } else if (!std::strcmp(name, "window-id")) {
            if (!parse_window_id(value, options.window_id)) {
                error = "needs a window id, hex (0x...) or decimal";
                return ParseResult::BAD;
            }
            options.choice = WindowChoice::WINDOW_ID;
            options.choice_given = true;
            ++i;
        } else if (!std::strcmp(name, "delay")) {
            if (!parse_whole(value, 0, MAX_DELAY_US, options.delay_us)) {
                error = "needs microseconds, 0..10000000";
                return ParseResult::BAD;
            }
            ++i;
        } else if (!std::strcmp(name, "fps")) {
            options.fps = true;
        } else if (!std::strcmp(name, "scale")) {
            if (!parse_whole(value, 1, FRAME_MAX_FACTOR, number)) {
                error = "needs a whole factor, 1..16";
                return ParseResult::BAD;
            }
            options.scale = static_cast<int32_t>(number);
            ++i;
        } else if (!std::strcmp(name, "display")) {
            if (value == nullptr) {
                error = "needs a display name";
                return ParseResult::BAD;
            }
            options.display_name = value;
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

void apply_saver_window(SaverOptions& options, const char* environment_value, bool& bad_value) {
    bad_value = false;
    if (environment_value == nullptr || environment_value[0] == '\0') return;
    if (options.choice_given && options.choice != WindowChoice::ROOT) return;
    unsigned long id = 0;
    if (!parse_window_id(environment_value, id)) {
        bad_value = true;
        return;
    }
    options.choice = WindowChoice::WINDOW_ID;
    options.window_id = id;
}

bool display_is_local(const char* display_string) {
    if (display_string == nullptr) return false;
    const char* colon = std::strrchr(display_string, ':');
    if (colon == nullptr || colon[1] == '\0') return false;
    const size_t host = static_cast<size_t>(colon - display_string);
    return host == 0 || (host == 4 && std::strncmp(display_string, "unix", 4) == 0);
}
