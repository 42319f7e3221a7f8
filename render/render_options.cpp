// Strict parsing: every value must be a whole well-formed number in range, and nothing is
// guessed; a bad command line is reported in one line.
#include "render_options.h"

#include <cstring>

#include "frame_fit.h"
#include "number_text.h"

const char RENDER_USAGE[] =
    "usage: sandglass-render [--frames N] [--dt S] [--bpp 8|16|24|32] [--scale K] [--png FILE]\n"
    "                        [--gif FILE [--gif-every K]] [--raw FILE] [--grains FILE]\n"
    "Runs the saver's frames headless on a 640x480 surface and prints one line:\n"
    "  frames=N count=C origin=X,Y orbit=A wave=W fnv=H\n"
    "  --frames N     frames to run, 1..10000000 (default 1)\n"
    "  --dt S         seconds per frame, narrowed to a 32-bit float (default 0.016666668)\n"
    "  --bpp B        surface layout: 8 (3-3-2 palette), 16 (5-6-5), 24, 32 (default 32)\n"
    "  --scale K      images (--png, --gif, --raw) at K times the size, each pixel a K x K\n"
    "                 block, 1..16 (default 1); the summary line is the 1x frame's\n"
    "  --png FILE     the last frame as an RGB PNG\n"
    "  --gif FILE     the animation, one image every K frames (and the last frame)\n"
    "  --gif-every K  (default 1)\n"
    "  --raw FILE     the last frame's surface bytes, top row first\n"
    "  --grains FILE  one line per pool entry: i x y r g b rest\n"
    "Exit status: 0 done, 1 an output file or the summary line could not be written,\n"
    "2 bad arguments, 130 interrupted.\n";

const char* const OUTPUT_FLAGS[OUTPUT_COUNT] = {"--png", "--raw", "--grains", "--gif"};

static const char DEFAULT_DT[] = "0.016666668";

// The number rule is the core's (number_text.h), shared with the page: digits only, so no
// sign, no white space, no hexadecimal.
static bool parse_whole(const char* flag, const char* text, int64_t low, int64_t high,
                        int64_t& value, Message& error) {
    char shown[ECHO_SIZE];
    echo_text(shown, sizeof shown, text);
    switch (read_whole(text, std::strlen(text), low, high, value)) {
    case NumberRead::OK: return true;
    case NumberRead::MALFORMED:
        message_set(error, "%s: %s is not a whole number", flag, shown);
        return false;
    case NumberRead::OUT_OF_RANGE: break;
    }
    message_set(error, "%s: %s is out of range %lld..%lld", flag, shown,
                static_cast<long long>(low), static_cast<long long>(high));
    return false;
}

static bool parse_dt(const char* text, float& value, Message& error) {
    if (read_seconds(text, std::strlen(text), value) == NumberRead::OK) return true;
    char shown[ECHO_SIZE];
    echo_text(shown, sizeof shown, text);
    message_set(error, "--dt: %s is not a time in seconds (a decimal, 0 or more, finite)", shown);
    return false;
}

static int output_index(const char* flag) {
    for (int i = 0; i < OUTPUT_COUNT; ++i)
        if (std::strcmp(flag, OUTPUT_FLAGS[i]) == 0) return i;
    return -1;
}

bool parse_render_options(int argc, char** argv, RenderOptions& options, Message& error) {
    parse_dt(DEFAULT_DT, options.dt, error);
    for (int i = 1; i < argc; ++i) {
        const char* flag = argv[i];
        if (std::strcmp(flag, "--help") == 0 || std::strcmp(flag, "-h") == 0) {
            options.help = true;
            return true;
        }
        int output = output_index(flag);
        bool known = output >= 0 || std::strcmp(flag, "--frames") == 0 ||
                     std::strcmp(flag, "--dt") == 0 || std::strcmp(flag, "--bpp") == 0 ||
                     std::strcmp(flag, "--gif-every") == 0 || std::strcmp(flag, "--scale") == 0;
        if (!known) {
            char shown[ECHO_SIZE];
            echo_text(shown, sizeof shown, flag);
            message_set(error, "unknown argument %s (try --help)", shown);
            return false;
        }
        if (i + 1 >= argc) {
            message_set(error, "%s needs a value", flag);
            return false;
        }
        const char* value = argv[++i];
        int64_t whole = 0;
        if (std::strcmp(flag, "--frames") == 0) {
            if (!parse_whole(flag, value, 1, MAX_RUN_FRAMES, options.frames, error))
                return false;
        } else if (std::strcmp(flag, "--gif-every") == 0) {
            if (!parse_whole(flag, value, 1, MAX_RUN_FRAMES, options.gif_every, error))
                return false;
        } else if (std::strcmp(flag, "--scale") == 0) {
            if (!parse_whole(flag, value, 1, FRAME_MAX_FACTOR, whole, error)) return false;
            options.scale = static_cast<int>(whole);
        } else if (std::strcmp(flag, "--bpp") == 0) {
            if (!parse_whole(flag, value, 0, INT64_MAX, whole, error)) return false;
            if (whole != 8 && whole != 16 && whole != 24 && whole != 32) {
                message_set(error, "--bpp: %lld is not one of 8, 16, 24, 32",
                            static_cast<long long>(whole));
                return false;
            }
            options.bits_per_pixel = static_cast<int>(whole);
        } else if (std::strcmp(flag, "--dt") == 0) {
            if (!parse_dt(value, options.dt, error)) return false;
        } else {
            if (value[0] == '\0') {
                message_set(error, "%s needs a file name", flag);
                return false;
            }
            options.outputs[output] = value;
        }
    }
    for (int a = 0; a < OUTPUT_COUNT; ++a)
        for (int b = a + 1; b < OUTPUT_COUNT; ++b)
            if (options.outputs[a] != nullptr && options.outputs[b] != nullptr &&
                std::strcmp(options.outputs[a], options.outputs[b]) == 0) {
                char shown[ECHO_SIZE];
                echo_text(shown, sizeof shown, options.outputs[a]);
                message_set(error, "%s and %s both name %s", OUTPUT_FLAGS[a], OUTPUT_FLAGS[b],
                            shown);
                return false;
            }
    return true;
}
