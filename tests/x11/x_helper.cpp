// What the tests need of X that no stock tool does:
//   x_helper window WIDTH HEIGHT   a plain window on the default visual, as a settings dialog's
//                                  preview or the daemon's window would be; prints its id in
//                                  hex, then waits until it is killed
//   x_helper delete ID [HOLD]      asks the window ID to close, as a window manager's close
//                                  button does (WM_DELETE_WINDOW); with HOLD, after holding
//                                  the server grabbed HOLD seconds, so that the request reaches
//                                  a client that is waiting on the server, not sleeping
#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static int plain_window(Display* display, unsigned width, unsigned height) {
    const int screen = DefaultScreen(display);
    // White, so that any part the saver leaves undrawn shows.
    const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, width,
                                              height, 0, 0, WhitePixel(display, screen));
    XMapWindow(display, window);
    XSync(display, False);
    std::printf("0x%lx\n", window);
    std::fflush(stdout);
    for (;;) pause();
}

static int ask_to_close(Display* display, Window window, unsigned hold_seconds) {
    if (hold_seconds > 0) {
        XGrabServer(display);
        XSync(display, False);
        sleep(hold_seconds);
    }
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XUngrabServer(display);
    XSync(display, False);
    return 0;
}

int main(int argc, char** argv) {
    const bool window = argc == 4 && !std::strcmp(argv[1], "window");
    const bool close = (argc == 3 || argc == 4) && !std::strcmp(argv[1], "delete");
    if (!window && !close) {
        std::fputs("usage: x_helper window WIDTH HEIGHT | x_helper delete ID [HOLD]\n", stderr);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fputs("x_helper: no display\n", stderr);
        return 1;
    }
    if (window)
        return plain_window(display, static_cast<unsigned>(std::atoi(argv[2])),
                            static_cast<unsigned>(std::atoi(argv[3])));
    return ask_to_close(display, static_cast<Window>(std::strtoul(argv[2], nullptr, 0)),
                        argc == 4 ? static_cast<unsigned>(std::atoi(argv[3])) : 0);
}
