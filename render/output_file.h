// Where an output's bytes go. A regular file, or a name not there yet, is written under a
// temporary name in its directory and renamed over the name at the end, so a reader never sees
// half an image and a failed run leaves the directory as it was. Anything else that is already
// there (a device, a FIFO) is written directly: replacing it would destroy it. A symbolic link
// is followed, so it survives and its target receives the output.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <sys/stat.h>

#include "message.h"

constexpr size_t OUTPUT_BUFFER_SIZE = 65536;

struct OutputFile {
    const char* name = nullptr;  // as the user gave it, for messages
    char path[PATH_MAX] = {};    // the name with its symbolic links followed
    const char* leaf = nullptr;  // the last component of path
    int directory = -1;          // the directory leaf lives in (an O_PATH descriptor)
    struct stat directory_stat = {};
    bool exists = false;         // leaf is there; existing then describes it
    struct stat existing = {};
    bool direct = false;         // written in place (not a regular file)
    bool by_name = false;        // direct, opened through name's links (leaf is name)
    char temp_leaf[16] = {};     // the temporary file's name, empty when none is on disk
    int fd = -1;
    int error_number = 0;        // the first failure's errno; later writes are refused
    size_t buffered = 0;
    uint8_t buffer[OUTPUT_BUFFER_SIZE];
};

// Follows name's symbolic links and looks at what is there, creating nothing. Refuses a
// directory, a directory that cannot be reached, and a name the final rename could not replace
// (an append-only directory, an immutable or append-only file, another user's file in a sticky
// directory, a mount point).
bool output_resolve(OutputFile& out, const char* name, Message& error);

// True when a and b would land in the same file: the same name in the same directory, or
// one existing file under two names.
bool output_same(const OutputFile& a, const OutputFile& b);

// Creates the temporary file, or opens the target to write it directly (a FIFO waits for a
// reader here; a signal ends the wait).
bool output_open(OutputFile& out, Message& error);

// Buffered; false once any write has failed.
bool output_write(OutputFile& out, const void* bytes, size_t size);

// Writes what is buffered and closes. After a failure error names the output and the cause.
bool output_finish(OutputFile& out, Message& error);

// Renames the finished temporary file over the name (nothing to do for a direct output).
bool output_commit(OutputFile& out, Message& error);

// Closes and removes the temporary file, if any; the name is never touched.
void output_abandon(OutputFile& out);

// The message for a failed write: the output's name and the cause.
void output_error(const OutputFile& out, Message& error);
