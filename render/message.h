// The renderer's one-line messages, in static storage: a text from outside (an argument, a
// file name) is echoed escaped, so that no message ever runs to a second line.
#pragma once

#include <cstddef>

#include "echo_text.h"

constexpr size_t MESSAGE_SIZE = 8192;
constexpr size_t ECHO_SIZE = 4200;  // a whole PATH_MAX name, some escapes and the quotes

struct Message {
    char text[MESSAGE_SIZE];
};

// Sets the message, printf style; cut to fit.
void message_set(Message& message, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Writes the message and a newline to standard error, as "sandglass-render: TEXT".
void complain(const Message& message);
