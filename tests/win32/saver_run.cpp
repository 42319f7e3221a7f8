// Runs the real saver host without the start-up code: with no argument full screen, with a
// decimal window handle as that window's preview child. The exit code is the host's.
#include <windows.h>

#include <cstdlib>

#include "host_state.h"
#include "saver_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
    host.instance = instance;
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    host.win9x = GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
    HWND parent = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::strtoul(command_line, nullptr, 10)));
    return run_saver_window(parent);
}
