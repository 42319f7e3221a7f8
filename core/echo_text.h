// A text from outside (an argument, a file name, an environment variable) as a message shows
// it: quoted and escaped, so that no message runs to a second line or drives the terminal.
#pragma once

#include <cstddef>

// Writes text to out in single quotes, with control bytes, DEL, the backslash and the quote
// escaped (\n \t \r \v \f \\ \' \xNN); bytes from 0x80 up pass as they are, so UTF-8 names stay
// readable. A text too long for size (at least 8) ends in "...".
void echo_text(char* out, size_t size, const char* text);
