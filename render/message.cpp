// One line per message, whatever the user typed.
#include "message.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <unistd.h>

void message_set(Message& message, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(message.text, sizeof message.text, format, args);
    va_end(args);
}

void complain(const Message& message) {
    static char line[MESSAGE_SIZE + 32];
    int length = std::snprintf(line, sizeof line, "sandglass-render: %s\n", message.text);
    if (length < 0) return;
    if (static_cast<size_t>(length) >= sizeof line) {
        length = sizeof line - 1;
        line[length - 1] = '\n';
    }
    // Unbuffered and without stdio: the message is out before any exit path.
    for (ssize_t at = 0; at < length;) {
        ssize_t done = write(STDERR_FILENO, line + at, static_cast<size_t>(length - at));
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return;
        at += done;
    }
}
