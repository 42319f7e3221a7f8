// The program's command line, in the manner of XScreenSaver's programs: one dash or two.
#pragma once

#include <cstdint>

#include "frame_fit.h"

enum class WindowChoice { OWN_WINDOW, ROOT, WINDOW_ID };

// About 60 frames a second: the least time from the start of one frame to the next.
constexpr int64_t DEFAULT_DELAY_US = 16666;
constexpr int64_t MAX_DELAY_US = 10000000;

struct SaverOptions {
    WindowChoice choice;
    bool choice_given;        // false: nothing chose, the own window by default
    unsigned long window_id;  // for WINDOW_ID
    int64_t delay_us;
    bool fps;
    int32_t scale;             // FRAME_FILL, or at most this factor (-scale N)
    const char* display_name;  // -display NAME; nullptr: $DISPLAY
    // For checking: run this many frames (0: no limit) and then keep showing the last one;
    // a fixed step per frame instead of the clock (0: the clock); frames and seconds on exit.
    int64_t frames;
    float dt;
    bool report;
};

enum class ParseResult { RUN, HELP, BAD };

// Parses argv[1..] into options (defaults first). On BAD, error holds a one-line reason and
// argument the argument it concerns.
ParseResult parse_options(int argc, char** argv, SaverOptions& options, const char*& error,
                          const char*& argument);

// A window id in hex ("0x2a00005") or decimal; false for anything else, 0 included.
bool parse_window_id(const char* text, unsigned long& id);

// The $XSCREENSAVER_WINDOW rule: a window the daemon gives wins over -root and over the
// default, as a virtual root does; an explicit -window or -window-id stands.
void apply_saver_window(SaverOptions& options, const char* environment_value, bool& bad_value);

// True for a display reached through a local socket (":0", ":1.0", "unix:0"), the only kind
// whose server shares this machine's memory. A host name, localhost included, may be an ssh
// tunnel to another machine, whose server could attach an unrelated segment of the same id.
bool display_is_local(const char* display_string);

extern const char USAGE[];
