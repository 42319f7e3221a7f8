// Writing an output: buffered here rather than through stdio, so the renderer allocates
// nothing and keeps the errno of the first failure to name it in the message.
#include "output_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

// ".sg" and six letters or digits: short, so that any name that fits its directory leaves
// room for it; O_EXCL makes it ours alone.
static bool create_temporary(OutputFile& out) {
    static const char LETTERS[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static uint64_t counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        timespec now;
        clock_gettime(CLOCK_REALTIME, &now);
        uint64_t bits = static_cast<uint64_t>(now.tv_nsec) ^
                        static_cast<uint64_t>(now.tv_sec) << 30 ^
                        static_cast<uint64_t>(getpid()) << 40 ^ ++counter * 0x9E3779B97F4A7C15ull;
        // splitmix64's finaliser spreads the clock's low-order change over every letter.
        bits = (bits ^ (bits >> 30)) * 0xBF58476D1CE4E5B9ull;
        bits = (bits ^ (bits >> 27)) * 0x94D049BB133111EBull;
        bits ^= bits >> 31;
        std::memcpy(out.temp_leaf, ".sg", 3);
        for (int i = 0; i < 6; ++i) {
            out.temp_leaf[3 + i] = LETTERS[bits % 62];
            bits /= 62;
        }
        out.temp_leaf[9] = '\0';
        out.fd = openat(out.directory, out.temp_leaf, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                        0666);
        if (out.fd >= 0) return true;
        if (errno != EEXIST) break;
    }
    out.temp_leaf[0] = '\0';
    return false;
}

void output_error(const OutputFile& out, Message& error) {
    char shown[ECHO_SIZE];
    echo_text(shown, sizeof shown, out.name);
    message_set(error, "cannot write %s: %s", shown, std::strerror(out.error_number));
}

bool output_open(OutputFile& out, Message& error) {
    out.buffered = 0;
    out.error_number = 0;
    if (out.direct) {
        const int follow = out.by_name ? 0 : O_NOFOLLOW;
        out.fd = openat(out.directory, out.leaf, O_WRONLY | O_NOCTTY | follow | O_CLOEXEC);
        if (out.fd >= 0) return true;
        out.error_number = errno;
        output_error(out, error);
        return false;
    }
    if (!create_temporary(out)) {
        char shown[ECHO_SIZE];
        echo_text(shown, sizeof shown, out.name);
        message_set(error, "cannot create a file beside %s: %s", shown, std::strerror(errno));
        return false;
    }
    // A replaced file keeps its permissions, as it would when written over (but not set-id
    // bits: the new bytes are an image, not the program they were granted to).
    if (out.exists) fchmod(out.fd, out.existing.st_mode & 0777);
    return true;
}

static bool write_all(OutputFile& out, const uint8_t* bytes, size_t size) {
    while (size > 0) {
        ssize_t done = write(out.fd, bytes, size);
        if (done < 0) {
            // Not retried on EINTR: a signal is how a blocked FIFO write is given up.
            out.error_number = errno;
            return false;
        }
        bytes += done;
        size -= static_cast<size_t>(done);
    }
    return true;
}

static bool flush(OutputFile& out) {
    size_t size = out.buffered;
    out.buffered = 0;
    return write_all(out, out.buffer, size);
}

bool output_write(OutputFile& out, const void* bytes, size_t size) {
    if (out.error_number != 0 || out.fd < 0) return false;
    const uint8_t* from = static_cast<const uint8_t*>(bytes);
    if (out.buffered + size > sizeof out.buffer) {
        if (!flush(out)) return false;
        if (size >= sizeof out.buffer) return write_all(out, from, size);
    }
    std::memcpy(out.buffer + out.buffered, from, size);
    out.buffered += size;
    return true;
}

bool output_finish(OutputFile& out, Message& error) {
    bool ok = out.error_number == 0 && flush(out);
    if (close(out.fd) != 0 && ok) {
        out.error_number = errno;
        ok = false;
    }
    out.fd = -1;
    if (!ok) output_error(out, error);
    return ok;
}

bool output_commit(OutputFile& out, Message& error) {
    if (out.temp_leaf[0] == '\0') return true;
    if (renameat(out.directory, out.temp_leaf, out.directory, out.leaf) != 0) {
        out.error_number = errno;
        output_error(out, error);
        return false;
    }
    out.temp_leaf[0] = '\0';
    return true;
}

void output_abandon(OutputFile& out) {
    if (out.fd >= 0) close(out.fd);
    out.fd = -1;
    if (out.temp_leaf[0] != '\0') unlinkat(out.directory, out.temp_leaf, 0);
    out.temp_leaf[0] = '\0';
}
