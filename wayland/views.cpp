// The surfaces on the outputs: one view per output (or the one window), the frame scaled once
// for every view that shows it at the same size, buffers written only once released.
#include <wayland-client.h>

#include "client.h"
#include "frame_changes.h"
#include "layer_shell.h"
#include "shm_buffer.h"
#include "viewporter-client-protocol.h"
#include "xdg-shell-client-protocol.h"

// The frame at one size, shared by every view that shows it so: scaled once a step. Three
// buffers let one be on screen, one pending and one written.
constexpr int FRAME_SETS = 8;
constexpr int BUFFERS_PER_SET = 3;

struct FrameSet {
    FrameFit fit;
    int32_t users;
    int32_t current;      // the buffer holding generation, -1 none
    uint64_t generation;  // the step it holds
    ShmBuffer buffers[BUFFERS_PER_SET];
};

static FrameSet frame_sets[FRAME_SETS];
// A few black pixels stretched over every view, never written. Only the middle of it is
// shown: a compositor that samples a stretched buffer imprecisely (pixman's fixed point, sway's
// filter) reaches past its edge into more black, not into nothing.
static ShmBuffer black_pixels;
constexpr int32_t BLACK_SIZE = 8;
constexpr int32_t BLACK_SHOWN = 4;

constexpr int32_t WINDOW_WIDTH = 640;
constexpr int32_t WINDOW_HEIGHT = 480;

static void free_frame_set(FrameSet& set) {
    for (ShmBuffer& buffer : set.buffers) free_shm_buffer(buffer);
    set = {};
}

// The set for this size (views of other sizes may show a frame of the same size, each at its own
// place): one in use, else a free slot (an unused set of another size is emptied for it). -1
// when all eight are in use at other sizes.
static int32_t take_frame_set(const FrameFit& fit) {
    int32_t spare = -1;
    for (int32_t i = 0; i < FRAME_SETS; ++i) {
        FrameSet& set = frame_sets[i];
        if (set.fit.width == fit.width && set.fit.height == fit.height && set.fit.width > 0) {
            ++set.users;
            return i;
        }
        if (set.users == 0 && spare < 0) spare = i;
    }
    if (spare < 0) return -1;
    FrameSet& set = frame_sets[spare];
    free_frame_set(set);
    set.fit = fit;
    set.users = 1;
    set.current = -1;
    return spare;
}

static void drop_frame_set(int32_t index) {
    if (index >= 0) --frame_sets[index].users;
}

// The set's newest buffer holds the frame of the newest step; false when none is free to
// write yet (the compositor still reads them all) or memory ran out. A buffer given back gets
// only what changed since the step it holds.
static bool fill_frame_set(FrameSet& set, const uint8_t* frame, int32_t pitch,
                           const FrameChanges& changes) {
    const uint64_t step = changes.newest;
    if (set.current >= 0 && set.generation == step) return true;
    // The free buffer with the newest frame needs the least rewriting; an unmade one all of it.
    int32_t chosen = -1;
    for (int32_t i = 0; i < BUFFERS_PER_SET; ++i) {
        const ShmBuffer& buffer = set.buffers[i];
        if (buffer.buffer != nullptr && buffer.busy) continue;
        if (chosen < 0 || (buffer.buffer != nullptr && buffer.step > set.buffers[chosen].step))
            chosen = i;
    }
    if (chosen < 0) return false;
    ShmBuffer& buffer = set.buffers[chosen];
    if (buffer.buffer == nullptr &&
        !make_shm_buffer(globals.shm, buffer, set.fit.width, set.fit.height))
        return false;
    if (set.fit.reduced)
        reduce_frame(frame, pitch, 4, set.fit, buffer.pixels, buffer.pitch);
    else
        enlarge_frame_area(frame, pitch, 4, set.fit.factor, changes_since(changes, buffer.step),
                           buffer.pixels, buffer.pitch);
    buffer.step = step;
    set.current = chosen;
    set.generation = step;
    return true;
}

static void on_frame_done(void* data, wl_callback* callback, uint32_t) {
    View& view = *static_cast<View*>(data);
    wl_callback_destroy(callback);
    view.callback = nullptr;
    view.ready = true;
}

static const wl_callback_listener FRAME_LISTENER = {on_frame_done};

// The area in a surface's own coordinates that holds the frame's area, rounded outwards.
static void damage_surface(wl_surface* surface, const FrameFit& fit, const FrameArea& area,
                           int32_t scale) {
    const int32_t left = (fit.left + area.left * fit.factor) / scale;
    const int32_t top = (fit.top + area.top * fit.factor) / scale;
    const int32_t right = (fit.left + (area.left + area.width) * fit.factor + scale - 1) / scale;
    const int32_t bottom = (fit.top + (area.top + area.height) * fit.factor + scale - 1) / scale;
    wl_surface_damage(surface, left, top, right - left, bottom - top);
}

static void draw_view(View& view, const uint8_t* frame, int32_t pitch,
                      const FrameChanges& changes) {
    FrameSet& set = frame_sets[view.frames];
    FrameArea area = set.fit.reduced ? WHOLE_FRAME : changes_since(changes, view.shown);
    if (area.width <= 0 || area.height <= 0) {
        // Nothing it shows has changed: no commit, and it stays ready for the next step.
        view.shown = changes.newest;
        return;
    }
    if (!fill_frame_set(set, frame, pitch, changes)) return;
    ShmBuffer& buffer = set.buffers[set.current];
    wl_surface_attach(view.frame, buffer.buffer, 0, 0);
    if (set.fit.reduced)
        wl_surface_damage_buffer(view.frame, 0, 0, buffer.width, buffer.height);
    else
        wl_surface_damage_buffer(view.frame, area.left * set.fit.factor, area.top * set.fit.factor,
                                 area.width * set.fit.factor, area.height * set.fit.factor);
    view.callback = wl_surface_frame(view.frame);
    wl_callback_add_listener(view.callback, &FRAME_LISTENER, &view);
    wl_surface_commit(view.frame);
    // Some compositors (sway 1.7) repaint a layer surface's subsurface only when the surface
    // itself commits: the frame's area is damaged there too.
    if (set.fit.reduced) area = WHOLE_FRAME;
    damage_surface(view.base, view.fit, area, view.scale);
    wl_surface_commit(view.base);
    buffer.busy = true;
    view.shown = changes.newest;
    view.ready = false;
}

void draw_views(const uint8_t* frame, int32_t pitch, const FrameChanges& changes) {
    auto draw = [&](View& view) {
        if (view.exists && view.ready && view.frames >= 0 && view.shown != changes.newest)
            draw_view(view, frame, pitch, changes);
    };
    for (Output& output : outputs) draw(output.view);
    draw(window_view);
}

bool any_view_ready() {
    auto ready = [](const View& view) { return view.exists && view.ready && view.frames >= 0; };
    for (const Output& output : outputs)
        if (ready(output.view)) return true;
    return ready(window_view);
}

// The view's size or scale is new: the frame placed again at the view's pixels, the black
// surface stretched over it.
static void lay_out(View& view) {
    const int32_t scale = view.scale > 0 ? view.scale : 1;
    const FrameFit fit = fit_frame(view.width * scale, view.height * scale, scale_request);
    view.fit = fit;
    const int32_t old = view.frames;
    view.frames = take_frame_set(fit);
    drop_frame_set(old);
    if (black_pixels.buffer == nullptr)
        make_shm_buffer(globals.shm, black_pixels, BLACK_SIZE, BLACK_SIZE);
    // The frame lands on whole pixels of the output: its corner in surface coordinates.
    wl_subsurface_set_position(view.subsurface, fit.left / scale, fit.top / scale);
    wl_surface_set_buffer_scale(view.frame, scale);
    const wl_fixed_t margin = wl_fixed_from_int((BLACK_SIZE - BLACK_SHOWN) / 2);
    wp_viewport_set_source(view.viewport, margin, margin, wl_fixed_from_int(BLACK_SHOWN),
                           wl_fixed_from_int(BLACK_SHOWN));
    wp_viewport_set_destination(view.viewport, view.width, view.height);
    wl_surface_attach(view.base, black_pixels.buffer, 0, 0);
    wl_surface_damage_buffer(view.base, 0, 0, BLACK_SIZE, BLACK_SIZE);
    wl_surface_commit(view.base);
    view.shown = 0;
    if (view.callback == nullptr) view.ready = true;
}

static void on_layer_configure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial,
                               uint32_t width, uint32_t height) {
    View& view = *static_cast<View*>(data);
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    if (width == 0 || height == 0) return;
    if (view.frames >= 0 && static_cast<int32_t>(width) == view.width &&
        static_cast<int32_t>(height) == view.height)
        return;
    view.width = static_cast<int32_t>(width);
    view.height = static_cast<int32_t>(height);
    lay_out(view);
}

// The output is going away (or the compositor took the surface back).
static void on_layer_closed(void* data, zwlr_layer_surface_v1*) {
    close_view(*static_cast<View*>(data));
}

static const zwlr_layer_surface_v1_listener LAYER_LISTENER = {on_layer_configure, on_layer_closed};

// A toplevel's size comes first, its configure's serial after it.
static int32_t pending_width;
static int32_t pending_height;

static void on_toplevel_configure(void*, xdg_toplevel*, int32_t width, int32_t height, wl_array*) {
    pending_width = width;
    pending_height = height;
}

static void on_toplevel_close(void*, xdg_toplevel*) { end_requested = true; }

static void on_toplevel_bounds(void*, xdg_toplevel*, int32_t, int32_t) {}
static void on_toplevel_capabilities(void*, xdg_toplevel*, wl_array*) {}

static const xdg_toplevel_listener TOPLEVEL_LISTENER = {
    on_toplevel_configure, on_toplevel_close, on_toplevel_bounds, on_toplevel_capabilities};

static const Output* output_of_view(const View& view) {
    for (const Output& output : outputs)
        if (output.used && &output.view == &view) return &output;
    return nullptr;
}

static void on_xdg_configure(void* data, xdg_surface* surface, uint32_t serial) {
    View& view = *static_cast<View*>(data);
    xdg_surface_ack_configure(surface, serial);
    int32_t width = pending_width;
    int32_t height = pending_height;
    if (width <= 0 || height <= 0) {
        // The choice is ours: the window's own size, or the whole output full screen.
        const Output* output = output_of_view(view);
        width = WINDOW_WIDTH;
        height = WINDOW_HEIGHT;
        if (output != nullptr && output->mode_width > 0) {
            width = output->mode_width / output->scale;
            height = output->mode_height / output->scale;
        }
    }
    if (view.frames >= 0 && width == view.width && height == view.height) return;
    view.width = width;
    view.height = height;
    lay_out(view);
}

static const xdg_surface_listener XDG_SURFACE_LISTENER = {on_xdg_configure};

// The window's scale follows the output it was last shown on.
static void on_surface_enter(void* data, wl_surface*, wl_output* entered) {
    View& view = *static_cast<View*>(data);
    for (const Output& output : outputs) {
        if (!output.used || output.output != entered || output.scale == view.scale) continue;
        view.scale = output.scale;
        if (view.frames >= 0) lay_out(view);
    }
}

static void on_surface_leave(void*, wl_surface*, wl_output*) {}

static const wl_surface_listener WINDOW_SURFACE_LISTENER = {on_surface_enter, on_surface_leave};

// The two surfaces and their parts common to every role.
static void make_surfaces(View& view, int32_t scale, int32_t origin_x, int32_t origin_y) {
    view = {};
    view.exists = true;
    view.frames = -1;
    view.scale = scale;
    view.origin_x = origin_x;
    view.origin_y = origin_y;
    view.base = wl_compositor_create_surface(globals.compositor);
    view.frame = wl_compositor_create_surface(globals.compositor);
    wl_surface_set_user_data(view.base, &view);
    wl_surface_set_user_data(view.frame, &view);
    view.viewport = wp_viewporter_get_viewport(globals.viewporter, view.base);
    view.subsurface = wl_subcompositor_get_subsurface(globals.subcompositor, view.frame, view.base);
    // The frame's commits show at once, each with its own frame callback.
    wl_subsurface_set_desync(view.subsurface);
    // All input goes to the black surface below, so the pointer has one surface per output.
    wl_region* nothing = wl_compositor_create_region(globals.compositor);
    wl_surface_set_input_region(view.frame, nothing);
    wl_region_destroy(nothing);
}

static void make_toplevel(View& view, wl_output* fullscreen_on) {
    view.xdg = xdg_wm_base_get_xdg_surface(globals.wm_base, view.base);
    xdg_surface_add_listener(view.xdg, &XDG_SURFACE_LISTENER, &view);
    view.toplevel = xdg_surface_get_toplevel(view.xdg);
    xdg_toplevel_add_listener(view.toplevel, &TOPLEVEL_LISTENER, &view);
    xdg_toplevel_set_title(view.toplevel, "sandglass");
    xdg_toplevel_set_app_id(view.toplevel, "sandglass");
    if (fullscreen_on != nullptr) xdg_toplevel_set_fullscreen(view.toplevel, fullscreen_on);
}

void open_output_view(Output& output) {
    View& view = output.view;
    make_surfaces(view, output.scale, output.x, output.y);
    if (globals.layer_shell != nullptr) {
        view.layer =
            zwlr_layer_shell_v1_get_layer_surface(globals.layer_shell, view.base, output.output,
                                                  ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "sandglass");
        zwlr_layer_surface_v1_set_anchor(
            view.layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                            ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
        zwlr_layer_surface_v1_set_size(view.layer, 0, 0);
        zwlr_layer_surface_v1_set_exclusive_zone(view.layer, -1);
        zwlr_layer_surface_v1_set_keyboard_interactivity(view.layer, 1);
        zwlr_layer_surface_v1_add_listener(view.layer, &LAYER_LISTENER, &view);
    } else {
        make_toplevel(view, output.output);
    }
    wl_surface_commit(view.base);
}

void open_window_view() {
    make_surfaces(window_view, 1, 0, 0);
    wl_surface_add_listener(window_view.base, &WINDOW_SURFACE_LISTENER, &window_view);
    make_toplevel(window_view, nullptr);
    wl_surface_commit(window_view.base);
}

void output_scale_changed(Output& output) {
    View& view = output.view;
    view.origin_x = output.x;
    view.origin_y = output.y;
    if (!view.exists || view.scale == output.scale) return;
    view.scale = output.scale;
    if (view.frames >= 0) lay_out(view);
}

void close_view(View& view) {
    if (!view.exists) return;
    for (Seat& seat : seats)
        if (seat.pointer_view == &view) seat.pointer_view = nullptr;
    if (view.callback != nullptr) wl_callback_destroy(view.callback);
    if (view.layer != nullptr) zwlr_layer_surface_v1_destroy(view.layer);
    if (view.toplevel != nullptr) xdg_toplevel_destroy(view.toplevel);
    if (view.xdg != nullptr) xdg_surface_destroy(view.xdg);
    wl_subsurface_destroy(view.subsurface);
    wl_surface_destroy(view.frame);
    wp_viewport_destroy(view.viewport);
    wl_surface_destroy(view.base);
    drop_frame_set(view.frames);
    view = {};
}

void close_all_views() {
    for (Output& output : outputs) close_view(output.view);
    close_view(window_view);
}
