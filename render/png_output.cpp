// The last frame as a PNG, through libpng.
#include <csetjmp>
#include <cstdio>

#include <png.h>

#include "image_output.h"

static void png_error_to_text(png_structp png, png_const_charp message) {
    std::string* error = static_cast<std::string*>(png_get_error_ptr(png));
    *error = message;
    longjmp(png_jmpbuf(png), 1);
}

static void png_warning_ignored(png_structp, png_const_charp) {}

bool write_png(FILE* file, const HeadlessRun* run, std::string& error) {
    static uint8_t row[HEADLESS_WIDTH * 3];
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, png_error_to_text,
                                              png_warning_ignored);
    if (png == nullptr) {
        error = "libpng: out of memory";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        if (error.empty()) error = "libpng: out of memory";
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, HEADLESS_WIDTH, HEADLESS_HEIGHT, 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < HEADLESS_HEIGHT; ++y) {
        for (int x = 0; x < HEADLESS_WIDTH; ++x) headless_pixel_rgb(run, x, y, &row[x * 3]);
        png_write_row(png, row);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}
