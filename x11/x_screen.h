// The X side of the saver: the connection, the window drawn into, its visual and colormap, and
// the images the frames go through (MIT-SHM where the server offers it, XPutImage otherwise).
// An enlarged frame is scaled by the server through RENDER where it can, else by the program.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrender.h>

#include <cstdint>

#include "animation.h"
#include "options.h"
#include "frame_fit.h"

struct XScreen {
    Display* display;
    Window window;
    bool own_window;
    Visual* visual;
    int depth;
    Colormap colormap;  // ours at 8 bits (the fixed palette), else the window's
    bool own_colormap;
    Colormap given_colormap;  // a given window's own, put back on exit
    SurfaceLayout layout;     // how the frame's pixels are packed for this visual
    int width;                // the window's size, followed through ConfigureNotify
    int height;
    int32_t scale_request;  // FRAME_FILL or at most N, as the options asked
    FrameFit placement;
    Atom delete_window;  // WM_DELETE_WINDOW of our own window
    GC gc;
    unsigned long white;  // for the frames-per-second text
    bool shm;             // the images live in a shared segment
    XShmSegmentInfo segment;
    XImage* frame_image;   // 640x480: the core draws into its data
    // The frame reduced for windows smaller than it or, where the server cannot scale,
    // enlarged by the program: SOFTWARE_MAX_FACTOR times the frame's size then, else its size.
    XImage* scaled_image;
    bool server_scales;     // RENDER enlarges the frame_picture into the window_picture
    Pixmap frame_pixmap;    // the 640x480 frame on the server
    Picture frame_picture;  // over frame_pixmap, with the window's format and a nearest filter
    Picture window_picture;
    int32_t picture_factor;  // the enlargement frame_picture's transform is set for
};

extern XScreen x_screen;

// Sets everything up for the options; on failure prints one line and returns false.
bool open_x_screen(const SaverOptions& options);

// The window's size changed (or is first known): new placement, window cleared to black.
void resize_x_screen(int width, int height);

// Shows the frame image in the window (scaled where the window is small) and waits for the
// server to take it, so the next frame may draw into the same memory.
void present_frame();

// Paints the uncovered part of the window black again (Expose).
void clear_window();

void draw_fps_text(const char* text);

void close_x_screen();

// True once an X protocol error arrived since the last call (the window gone, for one).
bool take_x_error(unsigned char& code);
