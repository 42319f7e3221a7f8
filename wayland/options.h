// The program's command line. Options take one dash or two; numbers are whole or decimal as
// documented, with no sign, no leading space and no exponent.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int64_t MAX_FRAMES = 10000000;

struct WaylandOptions {
    bool window;            // one ordinary window instead of a surface on every output
    int32_t scale_request;  // FRAME_FILL, or at most this whole factor (1..16)
    // For checking: run this many sand steps (0: no limit) and then keep showing the last
    // frame; a fixed step per frame instead of the elapsed time (0: elapsed time); a report.
    int64_t frames;
    float dt;
    bool report;  // the steps taken and the seconds run, on stdout at a clean end
};

enum class ParseResult { RUN, HELP, BAD };

// Parses argv[1..] into options (defaults first). On BAD, error holds a one-line reason and
// argument the argument it concerns.
ParseResult parse_options(int argc, char** argv, WaylandOptions& options, const char*& error,
                          const char*& argument);

// Writes text to out in single quotes with control bytes, DEL, the backslash and the quote
// escaped (\n \t \r \v \f \\ \' \xNN), so that an echoed value never breaks the line; a text
// too long for size ends in "...". size must be at least 8.
void echo_text(char* out, size_t size, const char* text);

extern const char USAGE[];
