// Windows icon files (see icon_pack.h). Bitmap images are a BITMAPINFOHEADER of twice the
// image's height, the palette, the colour rows bottom-up and the 1-bit transparency mask
// (set = transparent) bottom-up, rows padded to 4 bytes.
#include "icon_pack.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <map>

namespace {

const uint32_t VGA_PALETTE[16] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

// Alpha of at least 15% of 255.
constexpr int OPAQUE_ALPHA = 39;

void put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

uint32_t rgb_of(const uint8_t* rgba) {
    return (uint32_t(rgba[0]) << 16) | (uint32_t(rgba[1]) << 8) | rgba[2];
}

// Colours compared by brightness and by the two colour differences alike, so that a colour
// keeps its hue rather than its brightness alone: the sand becomes olive, not grey.
int distance(uint32_t a, uint32_t b) {
    const int dr = static_cast<int>((a >> 16) & 0xFF) - static_cast<int>((b >> 16) & 0xFF);
    const int dg = static_cast<int>((a >> 8) & 0xFF) - static_cast<int>((b >> 8) & 0xFF);
    const int db = static_cast<int>(a & 0xFF) - static_cast<int>(b & 0xFF);
    const int luma = 299 * dr + 587 * dg + 114 * db;  // thousandths
    const int blue = 1000 * db - luma;
    const int red = 1000 * dr - luma;
    return (luma / 10) * (luma / 10) / 100 + (blue / 10) * (blue / 10) / 100 + (red / 10) * (red / 10) / 100;
}

// The header of a bitmap image of an icon: the height counts the colour and the mask rows.
void put_header(std::vector<uint8_t>& out, int size, int bits, int colours, uint32_t image_bytes) {
    put32(out, 40);
    put32(out, static_cast<uint32_t>(size));
    put32(out, static_cast<uint32_t>(size * 2));
    put16(out, 1);
    put16(out, static_cast<uint32_t>(bits));
    put32(out, 0);  // uncompressed
    put32(out, image_bytes);
    put32(out, 0);
    put32(out, 0);
    put32(out, static_cast<uint32_t>(colours));
    put32(out, 0);
}

// The mask rows, bottom-up: set bits are transparent.
void put_mask(std::vector<uint8_t>& out, const IconPicture& picture, int opaque_alpha) {
    const int stride = ((picture.width + 31) / 32) * 4;
    for (int y = picture.height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(stride, 0);
        for (int x = 0; x < picture.width; ++x)
            if (picture.rgba[(static_cast<size_t>(y) * picture.width + x) * 4 + 3] < opaque_alpha)
                row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
}

int mask_bytes(const IconPicture& picture) {
    return ((picture.width + 31) / 32) * 4 * picture.height;
}

// An 8-bit palette for the picture's opaque colours: every colour exactly while there are at
// most 256 (entry 0 black, for transparent pixels), else the same with fewer bits per channel.
std::vector<uint32_t> own_palette(const IconPicture& picture, uint32_t& keep_mask) {
    for (keep_mask = 0xFFFFFF;; keep_mask = (keep_mask << 1) & 0xFEFEFE) {
        std::map<uint32_t, int> seen;
        seen[0] = 0;
        for (size_t i = 0; i < picture.rgba.size(); i += 4)
            if (picture.rgba[i + 3] >= OPAQUE_ALPHA) seen[rgb_of(&picture.rgba[i]) & keep_mask] = 0;
        if (seen.size() <= 256) {
            std::vector<uint32_t> palette;
            for (const auto& entry : seen) palette.push_back(entry.first);
            palette.resize(256, 0);
            return palette;
        }
    }
}

// The PNG encoder's output, collected in memory.
void append_png_bytes(png_structp png, png_bytep bytes, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), bytes, bytes + length);
}

void flush_nothing(png_structp) {}

}  // namespace

IconEntry pack_palette_image(const IconPicture& picture, int bits) {
    IconEntry entry;
    entry.size = picture.width;
    entry.bits = bits;
    entry.colours = bits == 4 ? 16 : 0;
    uint32_t keep_mask = 0xFFFFFF;
    std::vector<uint32_t> palette =
        bits == 4 ? std::vector<uint32_t>(VGA_PALETTE, VGA_PALETTE + 16) : own_palette(picture, keep_mask);

    const int stride = ((picture.width * bits + 31) / 32) * 4;
    put_header(entry.data, picture.width, bits, 0, static_cast<uint32_t>(stride * picture.height + mask_bytes(picture)));
    for (uint32_t colour : palette) {  // stored blue, green, red, 0
        entry.data.push_back(static_cast<uint8_t>(colour));
        entry.data.push_back(static_cast<uint8_t>(colour >> 8));
        entry.data.push_back(static_cast<uint8_t>(colour >> 16));
        entry.data.push_back(0);
    }
    for (int y = picture.height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(stride, 0);
        for (int x = 0; x < picture.width; ++x) {
            const uint8_t* rgba = &picture.rgba[(static_cast<size_t>(y) * picture.width + x) * 4];
            if (rgba[3] < OPAQUE_ALPHA) continue;  // transparent: index 0, black
            const uint32_t colour = rgb_of(rgba) & keep_mask;
            int index = 0;
            for (size_t p = 1; p < palette.size(); ++p)
                if (distance(palette[p], colour) < distance(palette[index], colour)) index = static_cast<int>(p);
            if (bits == 8) row[x] = static_cast<uint8_t>(index);
            else row[x / 2] |= static_cast<uint8_t>(x % 2 == 0 ? index << 4 : index);
        }
        entry.data.insert(entry.data.end(), row.begin(), row.end());
    }
    put_mask(entry.data, picture, OPAQUE_ALPHA);
    return entry;
}

IconEntry pack_alpha_image(const IconPicture& picture) {
    IconEntry entry;
    entry.size = picture.width;
    entry.bits = 32;
    put_header(entry.data, picture.width, 32, 0,
               static_cast<uint32_t>(picture.width * 4 * picture.height + mask_bytes(picture)));
    for (int y = picture.height - 1; y >= 0; --y) {
        for (int x = 0; x < picture.width; ++x) {
            const uint8_t* rgba = &picture.rgba[(static_cast<size_t>(y) * picture.width + x) * 4];
            const uint8_t bgra[4] = {rgba[2], rgba[1], rgba[0], rgba[3]};
            entry.data.insert(entry.data.end(), bgra, bgra + 4);
        }
    }
    put_mask(entry.data, picture, 1);  // anything at all shown counts for the old mask
    return entry;
}

IconEntry pack_png_image(const IconPicture& picture) {
    IconEntry entry;
    entry.size = picture.width;
    entry.bits = 32;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        std::fprintf(stderr, "icon_pack: PNG encoding failed\n");
        std::exit(1);
    }
    png_set_write_fn(png, &entry.data, append_png_bytes, flush_nothing);
    // Fixed settings, no time or text chunks: the same picture always gives the same bytes.
    png_set_compression_level(png, 9);
    png_set_filter(png, 0, PNG_ALL_FILTERS);
    png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width),
                 static_cast<png_uint_32>(picture.height), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < picture.height; ++y)
        png_write_row(png, &picture.rgba[static_cast<size_t>(y) * picture.width * 4]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return entry;
}

std::vector<uint8_t> pack_icon_file(const std::vector<IconEntry>& images) {
    std::vector<uint8_t> file;
    put16(file, 0);
    put16(file, 1);  // an icon
    put16(file, static_cast<uint32_t>(images.size()));
    uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
    for (const IconEntry& image : images) {
        file.push_back(static_cast<uint8_t>(image.size));  // 256 is written as 0
        file.push_back(static_cast<uint8_t>(image.size));
        file.push_back(static_cast<uint8_t>(image.colours));
        file.push_back(0);
        put16(file, 1);  // planes
        put16(file, static_cast<uint32_t>(image.bits));
        put32(file, static_cast<uint32_t>(image.data.size()));
        put32(file, offset);
        offset += static_cast<uint32_t>(image.data.size());
    }
    for (const IconEntry& image : images) file.insert(file.end(), image.data.begin(), image.data.end());
    return file;
}
