// The last frame as a PNG, through libpng, at a whole scale.
#include <csetjmp>

#include <png.h>

#include "image_output.h"

namespace {
struct PngTarget {
    OutputFile* file;
    Message* error;
};
}  // namespace

static void png_error_to_text(png_structp png, png_const_charp text) {
    PngTarget* target = static_cast<PngTarget*>(png_get_error_ptr(png));
    if (target->file->error_number != 0)
        output_error(*target->file, *target->error);
    else
        message_set(*target->error, "libpng: %s", text);
    longjmp(png_jmpbuf(png), 1);
}

static void png_warning_ignored(png_structp, png_const_charp) {}

static void png_write_to_output(png_structp png, png_bytep bytes, png_size_t size) {
    PngTarget* target = static_cast<PngTarget*>(png_get_io_ptr(png));
    if (!output_write(*target->file, bytes, size)) png_error(png, "write failed");
}

static void png_flush_nothing(png_structp) {}

bool write_png(OutputFile& out, const HeadlessRun* run, int scale, Message& error) {
    static uint8_t row[FRAME_WIDTH * 3];
    static uint8_t wide_row[FRAME_WIDTH * FRAME_MAX_FACTOR * 3];
    static PngTarget target;
    target = {&out, &error};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &target, png_error_to_text,
                                              png_warning_ignored);
    if (png == nullptr) {
        message_set(error, "libpng: out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        if (info == nullptr) message_set(error, "libpng: out of memory");
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &target, png_write_to_output, png_flush_nothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(FRAME_WIDTH * scale),
                 static_cast<png_uint_32>(FRAME_HEIGHT * scale), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < FRAME_HEIGHT; ++y) {
        for (int x = 0; x < FRAME_WIDTH; ++x) headless_pixel_rgb(run, x, y, &row[x * 3]);
        enlarge_row(row, 3, scale, wide_row);
        for (int i = 0; i < scale; ++i) png_write_row(png, wide_row);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}
