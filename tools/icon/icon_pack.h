// Windows icon files: the images of one icon group, each stored as Windows reads it.
#pragma once

#include <cstdint>
#include <vector>

#include "icon_art.h"

// One image as stored in the file, with what its directory entry says about it.
struct IconEntry {
    int size = 0;     // width and height in pixels, 1..256
    int colours = 0;  // palette entries, 0 for none or 256
    int bits = 0;     // bits per pixel: 4, 8 or 32
    std::vector<uint8_t> data;
};

// A palette image of 4 bits (the 16 colours of the standard VGA palette, nearest colour) or of
// 8 bits (its own palette of at most 256 colours), with its 1-bit mask: a pixel is opaque where
// the picture covers at least 15% of it (so the one-pixel lines of the glass survive scaling).
IconEntry pack_palette_image(const IconPicture& picture, int bits);

// A 32-bit image with alpha (blue, green, red, alpha), with the 1-bit mask older systems read.
IconEntry pack_alpha_image(const IconPicture& picture);

// A 32-bit image with alpha as a PNG stream, as Windows stores its 256-pixel icons.
IconEntry pack_png_image(const IconPicture& picture);

// The whole file: the header, one directory entry per image, then the images in that order.
std::vector<uint8_t> pack_icon_file(const std::vector<IconEntry>& images);
