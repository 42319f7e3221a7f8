// The one rule for numbers typed by a user (a command line, a page's address): plain decimal
// digits, nothing else. A whole number is digits only; a time is digits with at most one point
// and at least one digit, then an optional exponent (e or E, an optional sign, digits). No
// leading or trailing white space, no sign, no hexadecimal, no inf or nan: what strtod or
// strtoll would take beyond that is refused here, so every front-end reads the same texts.
#pragma once

#include <cstddef>
#include <cstdint>

enum class NumberRead { OK, MALFORMED, OUT_OF_RANGE };

// The most frames any run may be asked for (the renderer's --frames, the page's frames=N, the
// savers' test-only -frames): some 46 hours of animation at 60 frames a second.
constexpr int64_t MAX_RUN_FRAMES = 10000000;

// The first length bytes of text; text[length] must be 0 (a 0 byte inside is malformed).
// A whole number from low to high.
NumberRead read_whole(const char* text, size_t length, int64_t low, int64_t high,
                      int64_t& value);

// Seconds: the decimal read as a double, rounded to the nearest, then narrowed to a float (as
// the renderer's --dt has always been); out of range when the float is infinite.
NumberRead read_seconds(const char* text, size_t length, float& value);

// The same for a whole C string, as a command line gives it; nullptr is malformed.
NumberRead read_whole(const char* text, int64_t low, int64_t high, int64_t& value);
NumberRead read_seconds(const char* text, float& value);
