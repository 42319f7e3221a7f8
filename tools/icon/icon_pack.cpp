// Packs quantised images into a Windows icon file of palette images, as icons of 16 and 256
// colours are stored: per image a BITMAPINFOHEADER of twice the height, the palette, the colour
// rows bottom-up and the 1-bit transparency mask (set = transparent) bottom-up, rows padded to
// 4 bytes.
//
//   icon_pack OUT.ico BITS COLOURS.ppm MASK.pgm [BITS COLOURS.ppm MASK.pgm ...]
//
// BITS is 4 or 8. A 4-bit image must use only the 16 colours of the standard VGA palette,
// which is stored in its usual order; an 8-bit image gets its own palette of at most 256
// colours. Mask pixels below 128 are transparent; their colour is stored as index 0 (black).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

struct Image {
    int width = 0;
    int height = 0;
    int channels = 0;
    std::vector<uint8_t> samples;
};

const uint32_t VGA_PALETTE[16] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

bool fail(const std::string& message) {
    std::fprintf(stderr, "icon_pack: %s\n", message.c_str());
    return false;
}

// Binary PPM (P6) or PGM (P5), 8 bits per sample, without comments.
bool read_netpbm(const char* path, int channels, Image& image) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return fail(std::string("cannot open ") + path);
    char magic[3] = "";
    int maxval = 0;
    bool ok = std::fscanf(file, "%2s %d %d %d", magic, &image.width, &image.height, &maxval) == 4 &&
              std::fgetc(file) != EOF && maxval == 255 &&
              std::strcmp(magic, channels == 3 ? "P6" : "P5") == 0 && image.width > 0 &&
              image.width <= 256 && image.height > 0 && image.height <= 256;
    if (ok) {
        image.channels = channels;
        image.samples.resize(static_cast<size_t>(image.width) * image.height * channels);
        ok = std::fread(image.samples.data(), 1, image.samples.size(), file) == image.samples.size();
    }
    std::fclose(file);
    return ok || fail(std::string("not an 8-bit binary netpbm image: ") + path);
}

void put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// One image's bitmap data as stored in the file (header, palette, colour rows, mask rows).
bool encode(int bits, const Image& colours, const Image& mask, std::vector<uint8_t>& out) {
    if (colours.width != mask.width || colours.height != mask.height)
        return fail("colour image and mask differ in size");
    const int width = colours.width;
    const int height = colours.height;
    std::vector<uint32_t> palette;
    if (bits == 4) {
        palette.assign(VGA_PALETTE, VGA_PALETTE + 16);
    } else {
        std::map<uint32_t, int> seen;
        seen[0] = 0;  // transparent pixels are stored black
        for (size_t i = 0; i < mask.samples.size(); ++i) {
            if (mask.samples[i] < 128) continue;
            const uint8_t* rgb = &colours.samples[i * 3];
            seen[(uint32_t(rgb[0]) << 16) | (uint32_t(rgb[1]) << 8) | rgb[2]] = 0;
        }
        if (seen.size() > 256) return fail("more than 256 colours in an 8-bit image");
        for (const auto& entry : seen) palette.push_back(entry.first);
        palette.resize(256, 0);
    }
    std::vector<int> indices(static_cast<size_t>(width) * height, 0);
    for (size_t i = 0; i < indices.size(); ++i) {
        if (mask.samples[i] < 128) continue;
        const uint8_t* rgb = &colours.samples[i * 3];
        const uint32_t colour = (uint32_t(rgb[0]) << 16) | (uint32_t(rgb[1]) << 8) | rgb[2];
        int found = -1;
        for (size_t p = 0; p < palette.size() && found < 0; ++p)
            if (palette[p] == colour) found = static_cast<int>(p);
        if (found < 0) return fail("a colour outside the 16-colour VGA palette");
        indices[i] = found;
    }
    const int colour_stride = ((width * bits + 31) / 32) * 4;
    const int mask_stride = ((width + 31) / 32) * 4;
    put32(out, 40);
    put32(out, static_cast<uint32_t>(width));
    put32(out, static_cast<uint32_t>(height * 2));  // colour rows and mask rows
    put16(out, 1);
    put16(out, static_cast<uint32_t>(bits));
    put32(out, 0);  // uncompressed
    put32(out, static_cast<uint32_t>((colour_stride + mask_stride) * height));
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);  // every palette entry is used
    put32(out, 0);
    for (uint32_t colour : palette) {  // stored blue, green, red, 0
        out.push_back(static_cast<uint8_t>(colour));
        out.push_back(static_cast<uint8_t>(colour >> 8));
        out.push_back(static_cast<uint8_t>(colour >> 16));
        out.push_back(0);
    }
    for (int y = height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(colour_stride, 0);
        for (int x = 0; x < width; ++x) {
            const int index = indices[static_cast<size_t>(y) * width + x];
            if (bits == 8) row[x] = static_cast<uint8_t>(index);
            else row[x / 2] |= static_cast<uint8_t>(x % 2 == 0 ? index << 4 : index);
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    for (int y = height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(mask_stride, 0);
        for (int x = 0; x < width; ++x)
            if (mask.samples[static_cast<size_t>(y) * width + x] < 128)
                row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5 || (argc - 2) % 3 != 0) {
        std::fprintf(stderr, "usage: icon_pack OUT.ico BITS COLOURS.ppm MASK.pgm ...\n");
        return 2;
    }
    const int count = (argc - 2) / 3;
    std::vector<std::vector<uint8_t>> images(count);
    std::vector<Image> sizes(count);
    std::vector<int> bits(count);
    for (int i = 0; i < count; ++i) {
        bits[i] = std::atoi(argv[2 + 3 * i]);
        Image mask;
        if ((bits[i] != 4 && bits[i] != 8) || !read_netpbm(argv[3 + 3 * i], 3, sizes[i]) ||
            !read_netpbm(argv[4 + 3 * i], 1, mask) || !encode(bits[i], sizes[i], mask, images[i])) {
            std::fprintf(stderr, "icon_pack: image %d failed\n", i + 1);
            return 1;
        }
    }
    std::vector<uint8_t> file;
    put16(file, 0);
    put16(file, 1);  // an icon
    put16(file, static_cast<uint32_t>(count));
    uint32_t offset = 6 + 16 * count;
    for (int i = 0; i < count; ++i) {
        file.push_back(static_cast<uint8_t>(sizes[i].width));
        file.push_back(static_cast<uint8_t>(sizes[i].height));
        file.push_back(bits[i] == 4 ? 16 : 0);  // colour count; 0 means 256
        file.push_back(0);
        put16(file, 1);
        put16(file, static_cast<uint32_t>(bits[i]));
        put32(file, static_cast<uint32_t>(images[i].size()));
        put32(file, offset);
        offset += static_cast<uint32_t>(images[i].size());
    }
    for (const auto& image : images) file.insert(file.end(), image.begin(), image.end());
    FILE* out = std::fopen(argv[1], "wb");
    if (!out || std::fwrite(file.data(), 1, file.size(), out) != file.size() || std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
