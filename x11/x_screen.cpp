// Connection, window, visual, colormap and images. Every failure here prints one line naming
// what is wrong; X errors are caught rather than left to Xlib's default dump.
#include "x_screen.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "echo_text.h"
#include "fixed_palette.h"
#include "frame_scaling.h"
#include "visual_layout.h"

XScreen x_screen;

// Without shared memory the images live here: the frame, then the frame reduced or enlarged.
// The second is sized for the program's largest enlargement (19.7 MB); where the server scales
// only its first 1.2 MB are ever touched, and untouched static pages cost no memory.
static uint8_t frame_memory[FRAME_WIDTH * FRAME_HEIGHT * 4];
static uint8_t scaled_memory[FRAME_WIDTH * SOFTWARE_MAX_FACTOR * FRAME_HEIGHT *
                             SOFTWARE_MAX_FACTOR * 4];

static bool x_error_seen;
static unsigned char x_error_code;

static int on_x_error(Display*, XErrorEvent* event) {
    x_error_seen = true;
    x_error_code = event->error_code;
    return 0;
}

static int on_lost_connection(Display*) {
    std::fputs("sandglass: lost the connection to the X display\n", stderr);
    std::exit(1);
}

bool take_x_error(unsigned char& code) {
    if (!x_error_seen) return false;
    x_error_seen = false;
    code = x_error_code;
    return true;
}

// Round trip, then whether anything since the last call failed.
static bool synced_ok() {
    XSync(x_screen.display, False);
    unsigned char code = 0;
    return !take_x_error(code);
}

static int bits_per_pixel_for_depth(int depth) {
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(x_screen.display, &count);
    int bits = 0;
    for (int i = 0; i < count; ++i)
        if (formats[i].depth == depth) bits = formats[i].bits_per_pixel;
    if (formats != nullptr) XFree(formats);
    return bits;
}

static VisualKind kind_of(int x_class) {
    if (x_class == TrueColor) return VisualKind::TRUE_COLOR;
    if (x_class == PseudoColor) return VisualKind::PSEUDO_COLOR;
    return VisualKind::OTHER;
}

static SurfaceLayout layout_of(Visual* visual, int depth) {
    VisualFacts facts;
    facts.kind = kind_of(visual->c_class);
    facts.depth = depth;
    facts.bits_per_pixel = bits_per_pixel_for_depth(depth);
    facts.red_mask = static_cast<uint32_t>(visual->red_mask);
    facts.green_mask = static_cast<uint32_t>(visual->green_mask);
    facts.blue_mask = static_cast<uint32_t>(visual->blue_mask);
    facts.colormap_size = visual->map_entries;
    return layout_for_visual(facts);
}

static void refuse_visual(Visual* visual, int depth) {
    std::fprintf(stderr,
                 "sandglass: cannot draw on a %d-bit %s visual (TrueColor, or 8-bit "
                 "PseudoColor, needed)\n",
                 depth, visual_class_name(visual->c_class));
}

// A colormap of our own holding the fixed palette, for an 8-bit PseudoColor visual.
static Colormap palette_colormap(Window window, Visual* visual) {
    Colormap colormap = XCreateColormap(x_screen.display, window, visual, AllocAll);
    XColor colors[256];
    for (int i = 0; i < 256; ++i) {
        const PaletteRgb rgb = fixed_palette_color(static_cast<uint8_t>(i));
        colors[i].pixel = static_cast<unsigned long>(i);
        colors[i].red = static_cast<unsigned short>(rgb.red * 257);
        colors[i].green = static_cast<unsigned short>(rgb.green * 257);
        colors[i].blue = static_cast<unsigned short>(rgb.blue * 257);
        colors[i].flags = DoRed | DoGreen | DoBlue;
    }
    XStoreColors(x_screen.display, colormap, colors, 256);
    return colormap;
}

// Our own window: the default visual where it will do, else the deepest usable TrueColor one
// whose bits are all colour. A visual with alpha bits besides (depth 32 over 8-8-8) would show
// the frame's pixels, alpha 0, see-through under a compositing manager.
static bool choose_own_visual(int screen) {
    x_screen.visual = DefaultVisual(x_screen.display, screen);
    x_screen.depth = DefaultDepth(x_screen.display, screen);
    x_screen.layout = layout_of(x_screen.visual, x_screen.depth);
    if (x_screen.layout.bytes_per_pixel != 0) return true;
    XVisualInfo wanted = {};
    wanted.screen = screen;
    wanted.c_class = TrueColor;
    int count = 0;
    XVisualInfo* found =
        XGetVisualInfo(x_screen.display, VisualScreenMask | VisualClassMask, &wanted, &count);
    int best_depth = 0;
    for (int i = 0; i < count; ++i) {
        const SurfaceLayout layout = layout_of(found[i].visual, found[i].depth);
        const int colour_bits =
            __builtin_popcount(layout.red_mask | layout.green_mask | layout.blue_mask);
        if (layout.bytes_per_pixel == 0 || colour_bits != found[i].depth ||
            found[i].depth <= best_depth)
            continue;
        best_depth = found[i].depth;
        x_screen.visual = found[i].visual;
        x_screen.depth = found[i].depth;
        x_screen.layout = layout;
    }
    if (found != nullptr) XFree(found);
    if (best_depth != 0) return true;
    refuse_visual(DefaultVisual(x_screen.display, screen), DefaultDepth(x_screen.display, screen));
    return false;
}

static bool create_own_window() {
    const int screen = DefaultScreen(x_screen.display);
    if (!choose_own_visual(screen)) return false;
    const Window root = RootWindow(x_screen.display, screen);
    if (x_screen.visual->c_class == PseudoColor) {
        x_screen.colormap = palette_colormap(root, x_screen.visual);
        x_screen.own_colormap = true;
    } else if (x_screen.visual != DefaultVisual(x_screen.display, screen)) {
        x_screen.colormap = XCreateColormap(x_screen.display, root, x_screen.visual, AllocNone);
        x_screen.own_colormap = true;
    } else {
        x_screen.colormap = DefaultColormap(x_screen.display, screen);
    }
    XSetWindowAttributes attributes = {};
    attributes.background_pixel = 0;  // black in every layout the frame is drawn in
    attributes.border_pixel = 0;
    attributes.colormap = x_screen.colormap;
    attributes.event_mask = ExposureMask | StructureNotifyMask | KeyPressMask;
    x_screen.window = XCreateWindow(
        x_screen.display, root, 0, 0, FRAME_WIDTH, FRAME_HEIGHT, 0, x_screen.depth, InputOutput,
        x_screen.visual, CWBackPixel | CWBorderPixel | CWColormap | CWEventMask, &attributes);
    x_screen.own_window = true;
    XStoreName(x_screen.display, x_screen.window, "sandglass");
    XClassHint class_hint = {const_cast<char*>("sandglass"), const_cast<char*>("Sandglass")};
    XSetClassHint(x_screen.display, x_screen.window, &class_hint);
    x_screen.delete_window = XInternAtom(x_screen.display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(x_screen.display, x_screen.window, &x_screen.delete_window, 1);
    XMapWindow(x_screen.display, x_screen.window);
    x_screen.width = FRAME_WIDTH;
    x_screen.height = FRAME_HEIGHT;
    return true;
}

// The root window or one given by id: its visual decides the layout; at 8 bits it gets our
// colormap, installed because a saver is the only thing on the screen. The window's own goes
// back on exit: a window left with a freed colormap has none, and cannot even have children
// made with the parent's.
static bool use_given_window(Window window, const char* display_name) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(x_screen.display, window, &attributes) || !synced_ok()) {
        char shown[512];
        echo_text(shown, sizeof shown, display_name);
        std::fprintf(stderr, "sandglass: no window 0x%lx on display %s\n", window, shown);
        return false;
    }
    x_screen.window = window;
    x_screen.own_window = false;
    x_screen.visual = attributes.visual;
    x_screen.depth = attributes.depth;
    x_screen.colormap = attributes.colormap;
    x_screen.width = attributes.width;
    x_screen.height = attributes.height;
    x_screen.layout = layout_of(x_screen.visual, x_screen.depth);
    if (x_screen.layout.bytes_per_pixel == 0) {
        refuse_visual(x_screen.visual, x_screen.depth);
        return false;
    }
    if (x_screen.visual->c_class == PseudoColor) {
        x_screen.given_colormap = attributes.colormap;
        x_screen.colormap = palette_colormap(window, x_screen.visual);
        x_screen.own_colormap = true;
        XSetWindowColormap(x_screen.display, window, x_screen.colormap);
        XInstallColormap(x_screen.display, x_screen.colormap);
    }
    XSelectInput(x_screen.display, window, ExposureMask | StructureNotifyMask);
    return true;
}

// The scaled image's size: the frame's where the server enlarges it (the image then only holds
// reduced frames), else the program's largest enlargement.
static int scaled_image_factor() { return x_screen.server_scales ? 1 : SOFTWARE_MAX_FACTOR; }

// Back to the program enlarging: what set_up_render made, freed.
static void free_render() {
    Display* display = x_screen.display;
    if (x_screen.window_picture != None) XRenderFreePicture(display, x_screen.window_picture);
    if (x_screen.frame_picture != None) XRenderFreePicture(display, x_screen.frame_picture);
    if (x_screen.frame_pixmap != None) XFreePixmap(display, x_screen.frame_pixmap);
    x_screen.window_picture = x_screen.frame_picture = None;
    x_screen.frame_pixmap = None;
    x_screen.server_scales = false;
}

// The server enlarges the frame where it offers RENDER (0.6 or later: transforms and filters)
// with a direct-colour format for the window's visual. An 8-bit PseudoColor window has an
// indexed format at best, whose colours RENDER would match rather than copy: the program
// enlarges there, as it does where the server has no RENDER.
static void set_up_render() {
    Display* display = x_screen.display;
    int event_base = 0, error_base = 0, major = 0, minor = 0;
    if (!XRenderQueryExtension(display, &event_base, &error_base) ||
        !XRenderQueryVersion(display, &major, &minor) || (major == 0 && minor < 6))
        return;
    XRenderPictFormat* format = XRenderFindVisualFormat(display, x_screen.visual);
    if (format == nullptr || format->type != PictTypeDirect) return;
    x_screen.frame_pixmap = XCreatePixmap(display, x_screen.window, FRAME_WIDTH, FRAME_HEIGHT,
                                          static_cast<unsigned>(x_screen.depth));
    x_screen.frame_picture = XRenderCreatePicture(display, x_screen.frame_pixmap, format, 0, nullptr);
    x_screen.window_picture = XRenderCreatePicture(display, x_screen.window, format, 0, nullptr);
    XRenderSetPictureFilter(display, x_screen.frame_picture, FilterNearest, nullptr, 0);
    x_screen.server_scales = true;
    x_screen.picture_factor = 1;
    if (synced_ok()) return;
    free_render();
    synced_ok();  // errors freeing what was never made are no failure of the window
}

// Shared memory: both images in one segment, removed at once so that a killed saver leaves
// nothing behind. False (and nothing kept) on a display that is not local, or whose server
// cannot attach the segment.
static bool make_shared_images() {
    Display* display = x_screen.display;
    if (!display_is_local(DisplayString(display)) || !XShmQueryExtension(display)) return false;
    XShmSegmentInfo& segment = x_screen.segment;
    const int factor = scaled_image_factor();
    XImage* images[2] = {};
    for (int i = 0; i < 2; ++i) {
        const unsigned scale = i == 0 ? 1u : static_cast<unsigned>(factor);
        images[i] = XShmCreateImage(display, x_screen.visual, static_cast<unsigned>(x_screen.depth),
                                    ZPixmap, nullptr, &segment, FRAME_WIDTH * scale,
                                    FRAME_HEIGHT * scale);
    }
    // The core stores little-endian pixels; a shared image is in the server's own order.
    bool usable = images[0] != nullptr && images[1] != nullptr && images[0]->byte_order == LSBFirst;
    const size_t size = usable ? static_cast<size_t>(images[0]->bytes_per_line) * FRAME_HEIGHT : 0;
    const size_t scaled_size =
        usable ? static_cast<size_t>(images[1]->bytes_per_line) * FRAME_HEIGHT * factor : 0;
    segment.shmid = usable ? shmget(IPC_PRIVATE, size + scaled_size, IPC_CREAT | 0600) : -1;
    segment.shmaddr = reinterpret_cast<char*>(-1);
    if (segment.shmid >= 0) {
        segment.shmaddr = static_cast<char*>(shmat(segment.shmid, nullptr, 0));
        segment.readOnly = False;
        usable = segment.shmaddr != reinterpret_cast<char*>(-1) && XShmAttach(display, &segment) &&
                 synced_ok();
        shmctl(segment.shmid, IPC_RMID, nullptr);
    } else {
        usable = false;
    }
    if (!usable) {
        if (segment.shmaddr != reinterpret_cast<char*>(-1)) shmdt(segment.shmaddr);
        for (XImage* image : images)
            if (image != nullptr) XDestroyImage(image);
        return false;
    }
    images[0]->data = segment.shmaddr;
    images[1]->data = segment.shmaddr + size;
    x_screen.frame_image = images[0];
    x_screen.scaled_image = images[1];
    x_screen.shm = true;
    return true;
}

// An image over static memory of memory_size bytes, or nullptr where it does not fit.
static XImage* plain_image(uint8_t* memory, size_t memory_size, int factor) {
    const unsigned height = static_cast<unsigned>(FRAME_HEIGHT * factor);
    XImage* image = XCreateImage(x_screen.display, x_screen.visual,
                                 static_cast<unsigned>(x_screen.depth), ZPixmap, 0,
                                 reinterpret_cast<char*>(memory),
                                 static_cast<unsigned>(FRAME_WIDTH * factor), height, 32, 0);
    if (image == nullptr) return nullptr;
    if (static_cast<size_t>(image->bytes_per_line) * height > memory_size) {
        image->data = nullptr;
        XDestroyImage(image);
        return nullptr;
    }
    // XPutImage swaps bytes for a server of the other order.
    image->byte_order = LSBFirst;
    return image;
}

static bool make_images() {
    if (!make_shared_images()) {
        x_screen.shm = false;
        x_screen.frame_image = plain_image(frame_memory, sizeof frame_memory, 1);
        x_screen.scaled_image =
            plain_image(scaled_memory, sizeof scaled_memory, scaled_image_factor());
        if (x_screen.frame_image == nullptr || x_screen.scaled_image == nullptr) {
            std::fputs("sandglass: cannot make an image for the window\n", stderr);
            return false;
        }
    }
    if (x_screen.frame_image->bits_per_pixel != x_screen.layout.bytes_per_pixel * 8) {
        refuse_visual(x_screen.visual, x_screen.depth);
        return false;
    }
    return true;
}

bool open_x_screen(const SaverOptions& options) {
    std::memset(&x_screen, 0, sizeof x_screen);
    x_screen.display = XOpenDisplay(options.display_name);
    if (x_screen.display == nullptr) {
        const char* name =
            options.display_name != nullptr ? options.display_name : getenv("DISPLAY");
        char shown[512] = "(unset)";
        if (name != nullptr) echo_text(shown, sizeof shown, name);
        std::fprintf(stderr, "sandglass: cannot open display %s\n", shown);
        return false;
    }
    XSetErrorHandler(on_x_error);
    XSetIOErrorHandler(on_lost_connection);
    const char* display_name = DisplayString(x_screen.display);
    bool ready = false;
    switch (options.choice) {
    case WindowChoice::OWN_WINDOW: ready = create_own_window(); break;
    case WindowChoice::ROOT:
        ready = use_given_window(DefaultRootWindow(x_screen.display), display_name);
        break;
    case WindowChoice::WINDOW_ID: ready = use_given_window(options.window_id, display_name); break;
    }
    if (!ready) return false;
    x_screen.scale_request = options.scale;
    set_up_render();
    if (!make_images()) return false;
    x_screen.gc = XCreateGC(x_screen.display, x_screen.window, 0, nullptr);
    XSetForeground(x_screen.display, x_screen.gc, 0);
    XSetBackground(x_screen.display, x_screen.gc, 0);
    const SurfaceLayout& l = x_screen.layout;
    x_screen.white = l.red_mask | l.green_mask | l.blue_mask;
    resize_x_screen(x_screen.width, x_screen.height);
    return true;
}

void clear_window() {
    const FrameFit& p = x_screen.placement;
    Display* display = x_screen.display;
    const Window window = x_screen.window;
    GC gc = x_screen.gc;
    const int right = p.left + p.width;
    const int bottom = p.top + p.height;
    // Above, below, left and right of the frame.
    if (p.top > 0)
        XFillRectangle(display, window, gc, 0, 0, static_cast<unsigned>(x_screen.width),
                       static_cast<unsigned>(p.top));
    if (bottom < x_screen.height)
        XFillRectangle(display, window, gc, 0, bottom, static_cast<unsigned>(x_screen.width),
                       static_cast<unsigned>(x_screen.height - bottom));
    if (p.left > 0)
        XFillRectangle(display, window, gc, 0, p.top, static_cast<unsigned>(p.left),
                       static_cast<unsigned>(p.height));
    if (right < x_screen.width)
        XFillRectangle(display, window, gc, right, p.top,
                       static_cast<unsigned>(x_screen.width - right),
                       static_cast<unsigned>(p.height));
}

void resize_x_screen(int width, int height) {
    x_screen.width = width;
    x_screen.height = height;
    x_screen.placement = fit_frame(
        width, height, window_scale_request(x_screen.scale_request, x_screen.server_scales));
    const int32_t factor = x_screen.placement.factor;
    if (x_screen.server_scales && factor != x_screen.picture_factor) {
        // The transform takes window points to frame points: a scale by 1/factor.
        const XFixed shrink = server_scale_step(factor);
        XTransform transform = {{{shrink, 0, 0}, {0, shrink, 0}, {0, 0, XDoubleToFixed(1.0)}}};
        XRenderSetPictureTransform(x_screen.display, x_screen.frame_picture, &transform);
        x_screen.picture_factor = factor;
    }
    clear_window();
}

static void put_image(Drawable drawable, XImage* image, int x, int y, int width, int height) {
    if (x_screen.shm)
        XShmPutImage(x_screen.display, drawable, x_screen.gc, image, 0, 0, x, y,
                     static_cast<unsigned>(width), static_cast<unsigned>(height), False);
    else
        XPutImage(x_screen.display, drawable, x_screen.gc, image, 0, 0, x, y,
                  static_cast<unsigned>(width), static_cast<unsigned>(height));
}

void present_frame() {
    const FrameFit& p = x_screen.placement;
    XImage* frame = x_screen.frame_image;
    const uint8_t* pixels = reinterpret_cast<const uint8_t*>(frame->data);
    const int32_t bytes_per_pixel = x_screen.layout.bytes_per_pixel;
    XImage* scaled = x_screen.scaled_image;
    uint8_t* scaled_pixels = reinterpret_cast<uint8_t*>(scaled->data);
    if (p.reduced) {
        reduce_frame(pixels, frame->bytes_per_line, bytes_per_pixel, p, scaled_pixels,
                     scaled->bytes_per_line);
        put_image(x_screen.window, scaled, p.left, p.top, p.width, p.height);
    } else if (p.factor == 1) {
        put_image(x_screen.window, frame, p.left, p.top, p.width, p.height);
    } else if (x_screen.server_scales) {
        // The frame goes over once, at its own size; the server enlarges it into the window.
        put_image(x_screen.frame_pixmap, frame, 0, 0, FRAME_WIDTH, FRAME_HEIGHT);
        XRenderComposite(x_screen.display, PictOpSrc, x_screen.frame_picture, None,
                         x_screen.window_picture, 0, 0, 0, 0, p.left, p.top,
                         static_cast<unsigned>(p.width), static_cast<unsigned>(p.height));
    } else {
        enlarge_frame(pixels, frame->bytes_per_line, bytes_per_pixel, p.factor, scaled_pixels,
                      scaled->bytes_per_line);
        put_image(x_screen.window, scaled, p.left, p.top, p.width, p.height);
    }
    XSync(x_screen.display, False);
}

void draw_fps_text(const char* text) {
    XSetForeground(x_screen.display, x_screen.gc, x_screen.white);
    XDrawImageString(x_screen.display, x_screen.window, x_screen.gc, 4, 14, text,
                     static_cast<int>(std::strlen(text)));
    XSetForeground(x_screen.display, x_screen.gc, 0);
}

void close_x_screen() {
    if (x_screen.display == nullptr) return;
    // Static memory and the shared segment are not Xlib's to free.
    if (x_screen.frame_image != nullptr) {
        x_screen.frame_image->data = nullptr;
        XDestroyImage(x_screen.frame_image);
    }
    if (x_screen.scaled_image != nullptr) {
        x_screen.scaled_image->data = nullptr;
        XDestroyImage(x_screen.scaled_image);
    }
    // The window's colormap first: should the server stop answering, the stop deadline ends
    // the program inside XCloseDisplay's wait, with these requests already sent.
    if (x_screen.own_colormap && !x_screen.own_window && x_screen.given_colormap != None) {
        XSetWindowColormap(x_screen.display, x_screen.window, x_screen.given_colormap);
        XInstallColormap(x_screen.display, x_screen.given_colormap);
    }
    // The segment is marked for removal already; the server's own attachment ends with the
    // connection, so nothing here waits for it. The frame's pixmap and pictures go with the
    // connection too.
    if (x_screen.shm) {
        XShmDetach(x_screen.display, &x_screen.segment);
        shmdt(x_screen.segment.shmaddr);
    }
    XCloseDisplay(x_screen.display);
    x_screen.display = nullptr;
}
