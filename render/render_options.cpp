// Strict parsing: every value must be a whole well-formed number in range, and nothing is
// guessed; a bad command line is reported in one line.
#include "render_options.h"

#include <cerrno>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <cstring>

const char RENDER_USAGE[] =
    "usage: sandglass-render [--frames N] [--dt S] [--bpp 8|16|24|32] [--png FILE]\n"
    "                        [--gif FILE [--gif-every K]] [--raw FILE] [--grains FILE]\n"
    "Runs the saver's frames headless on a 640x480 surface and prints one line:\n"
    "  frames=N count=C origin=X,Y orbit=A wave=W fnv=H\n"
    "  --frames N     frames to run, 1..10000000 (default 1)\n"
    "  --dt S         seconds per frame, narrowed to a 32-bit float (default 0.016666668)\n"
    "  --bpp B        surface layout: 8 (3-3-2 palette), 16 (5-6-5), 24, 32 (default 32)\n"
    "  --png FILE     the last frame as an RGB PNG\n"
    "  --gif FILE     the animation, one image every K frames (and the last frame)\n"
    "  --gif-every K  (default 1)\n"
    "  --raw FILE     the last frame's surface bytes, top row first\n"
    "  --grains FILE  one line per pool entry: i x y r g b rest\n"
    "Exit status: 0 done, 1 an output file or the summary line could not be written,\n"
    "2 bad arguments.\n";

static const char DEFAULT_DT[] = "0.016666668";

static bool parse_whole(const char* flag, const char* text, int64_t low, int64_t high,
                        int64_t& value, std::string& error) {
    errno = 0;
    char* end = nullptr;
    long long parsed = std::strtoll(text, &end, 10);
    if (text[0] == '\0' || *end != '\0' || std::strchr(" \t\n+", text[0]) != nullptr) {
        error = std::string(flag) + ": '" + text + "' is not a whole number";
        return false;
    }
    if (errno == ERANGE || parsed < low || parsed > high) {
        error = std::string(flag) + ": " + text + " is out of range " + std::to_string(low) +
                ".." + std::to_string(high);
        return false;
    }
    value = parsed;
    return true;
}

static bool parse_dt(const char* text, float& value, std::string& error) {
    errno = 0;
    char* end = nullptr;
    double parsed = std::strtod(text, &end);
    if (text[0] == '\0' || *end != '\0' || std::strchr(" \t\n+", text[0]) != nullptr) {
        error = std::string("--dt: '") + text + "' is not a number";
        return false;
    }
    float narrowed = static_cast<float>(parsed);
    if (std::isnan(parsed) || parsed < 0.0 || std::isinf(narrowed)) {
        error = std::string("--dt: ") + text + " is not a time in seconds (0 or more, finite)";
        return false;
    }
    value = narrowed;
    return true;
}

bool parse_render_options(int argc, char** argv, RenderOptions& options, std::string& error) {
    parse_dt(DEFAULT_DT, options.dt, error);
    for (int i = 1; i < argc; ++i) {
        std::string flag = argv[i];
        if (flag == "--help" || flag == "-h") {
            options.help = true;
            return true;
        }
        bool known = flag == "--frames" || flag == "--dt" || flag == "--bpp" ||
                     flag == "--png" || flag == "--gif" || flag == "--gif-every" ||
                     flag == "--raw" || flag == "--grains";
        if (!known) {
            error = "unknown argument '" + flag + "' (try --help)";
            return false;
        }
        if (i + 1 >= argc) {
            error = flag + " needs a value";
            return false;
        }
        const char* value = argv[++i];
        int64_t whole = 0;
        if (flag == "--frames") {
            if (!parse_whole("--frames", value, 1, RENDER_MAX_FRAMES, options.frames, error))
                return false;
        } else if (flag == "--gif-every") {
            if (!parse_whole("--gif-every", value, 1, RENDER_MAX_FRAMES, options.gif_every, error))
                return false;
        } else if (flag == "--bpp") {
            if (!parse_whole("--bpp", value, INT64_MIN, INT64_MAX, whole, error)) return false;
            if (whole != 8 && whole != 16 && whole != 24 && whole != 32) {
                error = std::string("--bpp: ") + value + " is not one of 8, 16, 24, 32";
                return false;
            }
            options.bits_per_pixel = static_cast<int>(whole);
        } else if (flag == "--dt") {
            if (!parse_dt(value, options.dt, error)) return false;
        } else {
            if (value[0] == '\0') {
                error = flag + " needs a file name";
                return false;
            }
            std::string& target = flag == "--png"   ? options.png
                                   : flag == "--gif" ? options.gif
                                   : flag == "--raw" ? options.raw
                                                     : options.grains;
            target = value;
        }
    }
    return true;
}
