// An output file that appears only when it is complete: written under a temporary name in the
// same directory and renamed over the final name at the end, removed on any failure.
#pragma once

#include <cstdio>
#include <string>

struct OutputFile {
    std::string path;       // the final name
    std::string temp_path;  // where the bytes go until commit
    int fd = -1;            // the temporary file, or -1 once handed over or closed
    FILE* stream = nullptr; // a stdio stream over fd, when asked for
};

// Creates the temporary file. On failure sets error and leaves nothing behind.
bool output_open(OutputFile& out, const std::string& path, std::string& error);

// A stdio stream over the temporary file (owned by out).
FILE* output_stream(OutputFile& out);

// For writers that close the descriptor themselves (giflib): out forgets it.
int output_release_fd(OutputFile& out);

// Flushes, closes and renames into place. On failure the temporary file is removed.
bool output_commit(OutputFile& out, std::string& error);

// Closes and removes the temporary file; the final name is never touched.
void output_abandon(OutputFile& out);
