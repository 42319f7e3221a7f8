// The program's command line. Options take one dash or two; numbers follow the renderer's rule
// (digits, in range; a time may have a point and an exponent).
#pragma once

#include <cstddef>
#include <cstdint>

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

extern const char USAGE[];
