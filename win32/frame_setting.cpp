// The frame-size setting and the primary monitor's DPI (see frame_setting.h). The functions that
// report DPI are looked up at run time: the program still starts on systems without them.
#include "frame_setting.h"

#include "frame_placement.h"
#include "proc_address.h"

namespace {

const char SETTINGS_KEY[] = "Software\\Mirabel\\Tessaly";
const char FRAME_SIZE_VALUE[] = "FrameSize";

// shcore's GetDpiForMonitor (Windows 8.1 and later) with its effective DPI: the monitor's scale
// as the user set it, in the real pixels a DPI-aware program draws.
typedef HRESULT(WINAPI* GetDpiForMonitorFn)(HMONITOR monitor, int type, UINT* x, UINT* y);
typedef HMONITOR(WINAPI* MonitorFromPointFn)(POINT point, DWORD flags);
typedef BOOL(WINAPI* IsProcessDpiAwareFn)();
constexpr int EFFECTIVE_DPI = 0;

int monitor_dpi_from_shcore() {
    HMODULE shcore = LoadLibraryA("shcore.dll");
    if (shcore == nullptr) return 0;
    int dpi = 0;
    const auto dpi_for_monitor = find_proc<GetDpiForMonitorFn>(shcore, "GetDpiForMonitor");
    const auto monitor_from_point =
        find_proc<MonitorFromPointFn>(GetModuleHandleA("user32.dll"), "MonitorFromPoint");
    if (dpi_for_monitor != nullptr && monitor_from_point != nullptr) {
        // The primary monitor's top-left corner is the origin of screen coordinates.
        HMONITOR primary = monitor_from_point(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
        UINT x = 0, y = 0;
        if (dpi_for_monitor(primary, EFFECTIVE_DPI, &x, &y) == S_OK) dpi = static_cast<int>(x);
    }
    FreeLibrary(shcore);
    return dpi;
}

}  // namespace

DWORD read_frame_size() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return FRAME_SIZE_DPI;
    DWORD type = 0, value = FRAME_SIZE_DPI, size = sizeof value;
    const LONG status = RegQueryValueExA(key, FRAME_SIZE_VALUE, nullptr, &type,
                                         reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) return FRAME_SIZE_DPI;
    return value;
}

bool write_frame_size(DWORD frame_size) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG status = RegSetValueExA(key, FRAME_SIZE_VALUE, 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&frame_size),
                                       sizeof frame_size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

int primary_monitor_dpi() {
    const int dpi = monitor_dpi_from_shcore();
    if (dpi > 0) return dpi;
    // Windows Vista to 8: one DPI for every monitor, real only in a DPI-aware process (the
    // manifest makes it one); older systems scale nothing, whatever their font size.
    const auto is_aware =
        find_proc<IsProcessDpiAwareFn>(GetModuleHandleA("user32.dll"), "IsProcessDPIAware");
    if (is_aware == nullptr || !is_aware()) return 0;
    HDC screen = GetDC(nullptr);
    const int caps = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    return caps;
}
