// The program's state: what the compositor offers, its outputs and the surfaces on them. All of
// it plain records in static storage.
#pragma once

#include <cstdint>

#include "ending.h"
#include "frame_fit.h"

struct wl_display;
struct wl_registry;
struct wl_compositor;
struct wl_subcompositor;
struct wl_shm;
struct wl_output;
struct wl_seat;
struct wl_pointer;
struct wl_keyboard;
struct wl_touch;
struct wl_surface;
struct wl_subsurface;
struct wl_callback;
struct wp_viewporter;
struct wp_viewport;
struct xdg_wm_base;
struct xdg_surface;
struct xdg_toplevel;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;

constexpr int MAX_OUTPUTS = 16;
constexpr int MAX_SEATS = 4;

struct Globals {
    wl_display* display;
    wl_registry* registry;
    wl_compositor* compositor;
    wl_subcompositor* subcompositor;
    wl_shm* shm;
    wp_viewporter* viewporter;
    zwlr_layer_shell_v1* layer_shell;  // nullptr: fullscreen toplevels instead
    xdg_wm_base* wm_base;
};

// What one surface shows: a black surface the size of its output (a few black pixels
// stretched, never redrawn) and, above it, a subsurface holding the scaled frame at the output's
// pixels.
struct View {
    bool exists;
    wl_surface* base;
    wp_viewport* viewport;
    wl_surface* frame;
    wl_subsurface* subsurface;
    zwlr_layer_surface_v1* layer;
    xdg_surface* xdg;
    xdg_toplevel* toplevel;
    int32_t width;  // in the compositor's coordinates, from the last configure; 0: none yet
    int32_t height;
    int32_t scale;   // the buffer scale the frame is drawn at
    int32_t frames;  // the frame buffers it shows (an index into the frame sets), -1 none
    FrameFit fit;    // where the frame stands on it, in its buffer's pixels
    uint64_t shown;  // the animation step it shows; 0: none
    bool ready;      // its last frame has been shown, so it may take the next one
    wl_callback* callback;
    int32_t origin_x;  // its top-left corner in global coordinates, for the pointer rule
    int32_t origin_y;
};

struct Output {
    bool used;
    uint32_t name;  // the registry's name for it
    wl_output* output;
    int32_t x;  // position in global coordinates
    int32_t y;
    int32_t scale;
    int32_t mode_width;  // its current mode, in pixels
    int32_t mode_height;
    bool described;  // its first description is complete
    View view;
};

struct Seat {
    bool used;
    uint32_t name;
    wl_seat* seat;
    wl_pointer* pointer;
    wl_keyboard* keyboard;
    wl_touch* touch;
    View* pointer_view;  // the view the pointer is over
};

extern Globals globals;
extern Output outputs[MAX_OUTPUTS];
extern View window_view;  // --window: the one view
extern Seat seats[MAX_SEATS];
extern bool own_window;
extern int32_t scale_request;
extern PointerWatch pointer_watch;
extern bool end_requested;

// views.cpp
void open_output_view(Output& output);
void open_window_view();
void close_view(View& view);
void output_scale_changed(Output& output);
// Draws the frame (640 x 480 XRGB, of the newest step in changes) into every view that is
// ready for it and does not show it yet.
struct FrameChanges;
void draw_views(const uint8_t* frame, int32_t pitch, const FrameChanges& changes);
bool any_view_ready();
void close_all_views();

// input.cpp
void bind_seat(uint32_t name, uint32_t version);
void unbind_seat(uint32_t name);
void release_seats();
