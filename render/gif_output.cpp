// The animation as a GIF, through giflib. Every image carries its own colour table: the exact
// colours of the frame when there are at most 256 of them (the scene has fewer: the background
// palette, the greys of the frame and five sand colours), a median cut otherwise.
#include <cmath>
#include <cstring>
#include <vector>

#include "image_output.h"

static std::string gif_text(const char* what, int code) {
    const char* text = GifErrorString(code);
    return std::string("giflib: ") + what + ": " + (text != nullptr ? text : "error");
}

bool gif_begin(GifOutput& out, int fd, std::string& error) {
    int code = 0;
    out.gif = EGifOpenFileHandle(fd, &code);
    if (out.gif == nullptr) {
        error = gif_text("open", code);
        return false;
    }
    EGifSetGifVersion(out.gif, true);
    if (EGifPutScreenDesc(out.gif, HEADLESS_WIDTH, HEADLESS_HEIGHT, 8, 0, nullptr) != GIF_OK) {
        error = gif_text("screen", out.gif->Error);
        return false;
    }
    // NETSCAPE2.0 application block: loop for ever.
    static const GifByteType application[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E',
                                              '2', '.', '0'};
    static const GifByteType loop[] = {1, 0, 0};
    if (EGifPutExtensionLeader(out.gif, APPLICATION_EXT_FUNC_CODE) != GIF_OK ||
        EGifPutExtensionBlock(out.gif, sizeof application, application) != GIF_OK ||
        EGifPutExtensionBlock(out.gif, sizeof loop, loop) != GIF_OK ||
        EGifPutExtensionTrailer(out.gif) != GIF_OK) {
        error = gif_text("loop extension", out.gif->Error);
        return false;
    }
    return true;
}

// Indexes every pixel into an exact table of the frame's colours, in order of first
// appearance. False when the frame has more than 256 colours.
static bool exact_colors(const std::vector<uint8_t>& rgb, std::vector<GifByteType>& indices,
                         GifColorType table[256], int& used) {
    constexpr uint32_t SLOTS = 1024;  // open addressing, well over 256 so probes stay short
    uint32_t keys[SLOTS];
    int16_t values[SLOTS];
    std::memset(values, -1, sizeof values);
    used = 0;
    size_t pixels = rgb.size() / 3;
    for (size_t i = 0; i < pixels; ++i) {
        uint32_t key = static_cast<uint32_t>(rgb[3 * i]) << 16 |
                       static_cast<uint32_t>(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
        uint32_t slot = (key * 2654435761u) >> 22;
        while (values[slot] >= 0 && keys[slot] != key) slot = (slot + 1) % SLOTS;
        if (values[slot] < 0) {
            if (used == 256) return false;
            keys[slot] = key;
            values[slot] = static_cast<int16_t>(used);
            table[used].Red = rgb[3 * i];
            table[used].Green = rgb[3 * i + 1];
            table[used].Blue = rgb[3 * i + 2];
            ++used;
        }
        indices[i] = static_cast<GifByteType>(values[slot]);
    }
    return true;
}

static bool median_cut(const std::vector<uint8_t>& rgb, std::vector<GifByteType>& indices,
                       GifColorType table[256], int& used) {
    size_t pixels = rgb.size() / 3;
    std::vector<GifByteType> red(pixels), green(pixels), blue(pixels);
    for (size_t i = 0; i < pixels; ++i) {
        red[i] = rgb[3 * i];
        green[i] = rgb[3 * i + 1];
        blue[i] = rgb[3 * i + 2];
    }
    used = 256;
    return GifQuantizeBuffer(HEADLESS_WIDTH, HEADLESS_HEIGHT, &used, red.data(), green.data(),
                             blue.data(), indices.data(), table) == GIF_OK;
}

// A table size that giflib accepts: a power of two of at least 2.
static int table_size(int used) {
    int size = 2;
    while (size < used) size *= 2;
    return size;
}

bool gif_add_image(GifOutput& out, const HeadlessRun* run, double seconds, std::string& error) {
    size_t pixels = static_cast<size_t>(HEADLESS_WIDTH) * HEADLESS_HEIGHT;
    std::vector<uint8_t> rgb(pixels * 3);
    for (int y = 0; y < HEADLESS_HEIGHT; ++y)
        for (int x = 0; x < HEADLESS_WIDTH; ++x)
            headless_pixel_rgb(run, x, y, &rgb[(static_cast<size_t>(y) * HEADLESS_WIDTH + x) * 3]);

    std::vector<GifByteType> indices(pixels);
    GifColorType table[256] = {};
    int used = 0;
    if (!exact_colors(rgb, indices, table, used) && !median_cut(rgb, indices, table, used)) {
        error = "giflib: colour quantisation failed";
        return false;
    }
    if (used < 1) used = 1;
    ColorMapObject* map = GifMakeMapObject(table_size(used), table);
    if (map == nullptr) {
        error = "giflib: out of memory";
        return false;
    }

    // The delay carries the remainder: each image ends at the rounded total time so far.
    out.shown_seconds += seconds;
    long long end = std::llround(out.shown_seconds * 100.0);
    long long delay = end - out.shown_centiseconds;
    if (delay > 65535) delay = 65535;
    out.shown_centiseconds += delay;

    GraphicsControlBlock control = {};
    control.DisposalMode = DISPOSE_DO_NOT;
    control.UserInputFlag = false;
    control.DelayTime = static_cast<int>(delay);
    control.TransparentColor = NO_TRANSPARENT_COLOR;
    GifByteType extension[4];
    EGifGCBToExtension(&control, extension);

    bool ok = EGifPutExtension(out.gif, GRAPHICS_EXT_FUNC_CODE, sizeof extension, extension) ==
                  GIF_OK &&
              EGifPutImageDesc(out.gif, 0, 0, HEADLESS_WIDTH, HEADLESS_HEIGHT, false, map) ==
                  GIF_OK;
    for (int y = 0; ok && y < HEADLESS_HEIGHT; ++y)
        ok = EGifPutLine(out.gif, &indices[static_cast<size_t>(y) * HEADLESS_WIDTH],
                         HEADLESS_WIDTH) == GIF_OK;
    GifFreeMapObject(map);
    if (!ok) error = gif_text("image", out.gif->Error);
    return ok;
}

bool gif_end(GifOutput& out, std::string& error) {
    if (out.gif == nullptr) return true;
    int code = 0;
    bool ok = EGifCloseFile(out.gif, &code) == GIF_OK;
    out.gif = nullptr;
    if (!ok) error = gif_text("close", code);
    return ok;
}
