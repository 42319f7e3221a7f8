// Parsing the command line.
#include "options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "frame_fit.h"

const char USAGE[] =
    "usage: sandglass-wayland [--window] [--scale N] [-h]\n"
    "A falling-sand hourglass on every output of a Wayland compositor, until a key, a button,\n"
    "a touch or a pointer movement. Options take one dash or two.\n"
    "  --window    one ordinary 640x480 window instead (q or Escape closes it)\n"
    "  --scale N   enlarge the frame by at most N, 1..16 (default: the largest that fits)\n"
    "  -h, --help  this text\n";

static bool all_digits(const char* text) {
    if (*text == '\0') return false;
    for (; *text; ++text)
        if (*text < '0' || *text > '9') return false;
    return true;
}

static bool parse_whole(const char* text, int64_t low, int64_t high, int64_t& value) {
    if (text == nullptr || !all_digits(text)) return false;
    errno = 0;
    const long long parsed = std::strtoll(text, nullptr, 10);
    if (errno == ERANGE || parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}

// Digits with at most one point and a digit on at least one side of it.
static bool parse_decimal(const char* text, double low_exclusive, double high, double& value) {
    if (text == nullptr) return false;
    int digits = 0;
    int points = 0;
    for (const char* at = text; *at; ++at) {
        if (*at >= '0' && *at <= '9') {
            ++digits;
        } else if (*at == '.') {
            ++points;
        } else {
            return false;
        }
    }
    if (digits == 0 || points > 1) return false;
    const double parsed = std::strtod(text, nullptr);
    if (!(parsed > low_exclusive) || parsed > high) return false;
    value = parsed;
    return true;
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
        double seconds = 0.0;
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
            if (!parse_whole(value, 1, MAX_FRAMES, number)) {
                error = "needs a count, 1..10000000";
                return ParseResult::BAD;
            }
            options.frames = number;
            ++i;
        } else if (!std::strcmp(name, "dt")) {
            if (!parse_decimal(value, 0.0, 10.0, seconds)) {
                error = "needs seconds, above 0 and at most 10";
                return ParseResult::BAD;
            }
            options.dt = static_cast<float>(seconds);
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

void echo_text(char* out, size_t size, const char* text) {
    static const char HEX[] = "0123456789abcdef";
    const size_t room = size - 5;  // the closing quote, "..." and the terminator
    size_t n = 0;
    out[n++] = '\'';
    for (const unsigned char* at = reinterpret_cast<const unsigned char*>(text); *at; ++at) {
        char piece[4] = {'\\', 0, 0, 0};
        size_t length = 2;
        switch (*at) {
        case '\n': piece[1] = 'n'; break;
        case '\t': piece[1] = 't'; break;
        case '\r': piece[1] = 'r'; break;
        case '\v': piece[1] = 'v'; break;
        case '\f': piece[1] = 'f'; break;
        case '\\': piece[1] = '\\'; break;
        case '\'': piece[1] = '\''; break;
        default:
            if (*at < 0x20 || *at == 0x7f) {
                piece[1] = 'x';
                piece[2] = HEX[*at >> 4];
                piece[3] = HEX[*at & 15];
                length = 4;
            } else {
                piece[0] = static_cast<char>(*at);
                length = 1;
            }
        }
        if (n + length > room) {
            std::memcpy(out + n, "...", 3);
            n += 3;
            break;
        }
        std::memcpy(out + n, piece, length);
        n += length;
    }
    out[n++] = '\'';
    out[n] = '\0';
}
