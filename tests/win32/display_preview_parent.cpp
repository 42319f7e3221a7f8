// Plays the display settings' part for a preview picture: a borderless white window whose client
// area is 152 x 112 at (100, 100) on the screen, with the real saver host running as its child
// in this same process (run_saver_window with the parent, as start-up's preview mode calls it).
// Wine draws a child window only from the process that owns its parent, so the saver cannot be
// a separate process here. Exits with the host's exit code when the child is destroyed.
#include <windows.h>

#include "host_state.h"
#include "saver_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = DefWindowProcA;
    window_class.hInstance = instance;
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    window_class.lpszClassName = "DisplayPreviewParent";
    RegisterClassA(&window_class);
    HWND parent = CreateWindowExA(0, "DisplayPreviewParent", "Display preview parent",
                                  WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 100, 100, 152, 112,
                                  nullptr, nullptr, instance, nullptr);
    UpdateWindow(parent);  // painted before the child comes, as the settings dialog would be

    host.instance = instance;
    return run_saver_window(parent);
}
