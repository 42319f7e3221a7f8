// Stands in for the browser: the test registers it as the handler of https addresses in its
// private prefix, and it appends the command line it was given to the file DIALOG_RECORD names.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const char* path = std::getenv("DIALOG_RECORD");
    if (!path) return 1;
    FILE* file = std::fopen(path, "a");
    if (!file) return 1;
    std::fprintf(file, "%s\n", GetCommandLineA());
    std::fclose(file);
    return 0;
}
