// The animation as a GIF, through giflib. Every image carries its own colour table: the exact
// colours of the frame when there are at most 256 of them (the scene has fewer: the background
// palette, the greys of the frame and five sand colours), a median cut otherwise.
#include <cmath>
#include <cstring>

#include "image_output.h"

constexpr size_t GIF_PIXELS = static_cast<size_t>(FRAME_WIDTH) * FRAME_HEIGHT;

// One frame's colours and indices; one GIF at a time.
static uint8_t frame_rgb[GIF_PIXELS * 3];
static GifByteType frame_indices[GIF_PIXELS];
static GifByteType planes[3][GIF_PIXELS];

static void gif_failed(const GifOutput& out, const char* what, int code, Message& error) {
    if (out.file != nullptr && out.file->error_number != 0) {
        output_error(*out.file, error);
        return;
    }
    const char* text = GifErrorString(code);
    message_set(error, "giflib: %s: %s", what, text != nullptr ? text : "error");
}

static int gif_write_to_output(GifFileType* gif, const GifByteType* bytes, int size) {
    OutputFile* file = static_cast<OutputFile*>(gif->UserData);
    return output_write(*file, bytes, static_cast<size_t>(size)) ? size : 0;
}

bool gif_begin(GifOutput& out, OutputFile& file, int scale, Message& error) {
    int code = 0;
    out.file = &file;
    out.scale = scale;
    out.gif = EGifOpen(&file, gif_write_to_output, &code);
    if (out.gif == nullptr) {
        gif_failed(out, "open", code, error);
        return false;
    }
    EGifSetGifVersion(out.gif, true);
    if (EGifPutScreenDesc(out.gif, FRAME_WIDTH * scale, FRAME_HEIGHT * scale, 8, 0, nullptr) !=
        GIF_OK) {
        gif_failed(out, "screen", out.gif->Error, error);
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
        gif_failed(out, "loop extension", out.gif->Error, error);
        return false;
    }
    return true;
}

// Indexes every pixel into an exact table of the frame's colours, in order of first
// appearance. False when the frame has more than 256 colours.
static bool exact_colors(GifColorType table[256], int& used) {
    constexpr uint32_t SLOTS = 1024;  // open addressing, well over 256 so probes stay short
    uint32_t keys[SLOTS];
    int16_t values[SLOTS];
    std::memset(values, -1, sizeof values);
    used = 0;
    for (size_t i = 0; i < GIF_PIXELS; ++i) {
        const uint8_t* rgb = &frame_rgb[3 * i];
        uint32_t key = static_cast<uint32_t>(rgb[0]) << 16 | static_cast<uint32_t>(rgb[1]) << 8 |
                       rgb[2];
        uint32_t slot = (key * 2654435761u) >> 22;
        while (values[slot] >= 0 && keys[slot] != key) slot = (slot + 1) % SLOTS;
        if (values[slot] < 0) {
            if (used == 256) return false;
            keys[slot] = key;
            values[slot] = static_cast<int16_t>(used);
            table[used].Red = rgb[0];
            table[used].Green = rgb[1];
            table[used].Blue = rgb[2];
            ++used;
        }
        frame_indices[i] = static_cast<GifByteType>(values[slot]);
    }
    return true;
}

static bool median_cut(GifColorType table[256], int& used) {
    for (size_t i = 0; i < GIF_PIXELS; ++i)
        for (int c = 0; c < 3; ++c) planes[c][i] = frame_rgb[3 * i + c];
    used = 256;
    return GifQuantizeBuffer(FRAME_WIDTH, FRAME_HEIGHT, &used, planes[0], planes[1],
                             planes[2], frame_indices, table) == GIF_OK;
}

// A table size that giflib accepts: a power of two of at least 2.
static int table_size(int used) {
    int size = 2;
    while (size < used) size *= 2;
    return size;
}

bool gif_add_image(GifOutput& out, const HeadlessRun* run, double seconds, Message& error) {
    for (int y = 0; y < FRAME_HEIGHT; ++y)
        for (int x = 0; x < FRAME_WIDTH; ++x)
            headless_pixel_rgb(run, x, y,
                               &frame_rgb[(static_cast<size_t>(y) * FRAME_WIDTH + x) * 3]);

    GifColorType table[256] = {};
    int used = 0;
    if (!exact_colors(table, used) && !median_cut(table, used)) {
        message_set(error, "giflib: colour quantisation failed");
        return false;
    }
    if (used < 1) used = 1;
    ColorMapObject* map = GifMakeMapObject(table_size(used), table);
    if (map == nullptr) {
        message_set(error, "giflib: out of memory");
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
              EGifPutImageDesc(out.gif, 0, 0, FRAME_WIDTH * out.scale, FRAME_HEIGHT * out.scale,
                               false, map) == GIF_OK;
    // Colours are chosen per pixel, so the 1x indices, enlarged, are the scaled image's.
    static GifByteType wide_indices[FRAME_WIDTH * FRAME_MAX_FACTOR];
    for (int y = 0; ok && y < FRAME_HEIGHT; ++y) {
        enlarge_row(&frame_indices[static_cast<size_t>(y) * FRAME_WIDTH], 1, out.scale,
                    wide_indices);
        for (int i = 0; ok && i < out.scale; ++i)
            ok = EGifPutLine(out.gif, wide_indices, FRAME_WIDTH * out.scale) == GIF_OK;
    }
    GifFreeMapObject(map);
    if (!ok) gif_failed(out, "image", out.gif->Error, error);
    return ok;
}

bool gif_end(GifOutput& out, Message& error) {
    if (out.gif == nullptr) return true;
    int code = 0;
    bool ok = EGifCloseFile(out.gif, &code) == GIF_OK;
    out.gif = nullptr;
    if (!ok) gif_failed(out, "close", code, error);
    return ok;
}
