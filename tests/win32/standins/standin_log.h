// The stand-ins' record of how they were called: one line per event, appended to the file that
// SANDGLASS_STANDIN_LOG names (nothing is written without it). Test fixtures only.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

inline void standin_log(const char* format, ...) {
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("SANDGLASS_STANDIN_LOG", path, sizeof path);
    if (length == 0 || length >= sizeof path) return;
    FILE* file = std::fopen(path, "a");
    if (!file) return;
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(file, format, arguments);
    va_end(arguments);
    std::fputc('\n', file);
    std::fclose(file);
}

// A number from the environment, or fallback when the variable is unset.
inline long standin_setting(const char* name, long fallback) {
    char text[32];
    DWORD length = GetEnvironmentVariableA(name, text, sizeof text);
    if (length == 0 || length >= sizeof text) return fallback;
    return std::strtol(text, nullptr, 10);
}
