// Checked by hand before any conversion: the C library's readers take more than the rule
// (spaces, signs, hexadecimal, inf), and they differ between C libraries in what else.
#include "number_text.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

static bool is_digit(char c) { return c >= '0' && c <= '9'; }

NumberRead read_whole(const char* text, size_t length, int64_t low, int64_t high,
                      int64_t& value) {
    if (length == 0) return NumberRead::MALFORMED;
    bool too_big = false;
    uint64_t parsed = 0;
    for (size_t i = 0; i < length; ++i) {
        if (!is_digit(text[i])) return NumberRead::MALFORMED;
        const uint64_t digit = static_cast<uint64_t>(text[i] - '0');
        if (parsed > (static_cast<uint64_t>(INT64_MAX) - digit) / 10) too_big = true;
        if (!too_big) parsed = parsed * 10 + digit;
    }
    if (too_big || static_cast<int64_t>(parsed) < low || static_cast<int64_t>(parsed) > high)
        return NumberRead::OUT_OF_RANGE;
    value = static_cast<int64_t>(parsed);
    return NumberRead::OK;
}

NumberRead read_seconds(const char* text, size_t length, float& value) {
    size_t at = 0;
    size_t digits = 0;
    while (at < length && is_digit(text[at])) ++at, ++digits;
    if (at < length && text[at] == '.') {
        ++at;
        while (at < length && is_digit(text[at])) ++at, ++digits;
    }
    if (digits == 0) return NumberRead::MALFORMED;
    if (at < length && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < length && (text[at] == '+' || text[at] == '-')) ++at;
        const size_t exponent_start = at;
        while (at < length && is_digit(text[at])) ++at;
        if (at == exponent_start) return NumberRead::MALFORMED;
    }
    if (at != length) return NumberRead::MALFORMED;
    // What is left is a decimal every strtod reads whole, in the "C" locale that no front-end
    // changes; it rounds to the nearest double, then the cast to the nearest float.
    const float narrowed = static_cast<float>(std::strtod(text, nullptr));
    if (std::isinf(narrowed)) return NumberRead::OUT_OF_RANGE;
    value = narrowed;
    return NumberRead::OK;
}

NumberRead read_whole(const char* text, int64_t low, int64_t high, int64_t& value) {
    if (text == nullptr) return NumberRead::MALFORMED;
    return read_whole(text, std::strlen(text), low, high, value);
}

NumberRead read_seconds(const char* text, float& value) {
    if (text == nullptr) return NumberRead::MALFORMED;
    return read_seconds(text, std::strlen(text), value);
}
