// Reads a window dump written by xwd and writes a rectangle of it as raw pixel values, each in
// BYTES little-endian bytes, top row first: the layout of sandglass-render --raw, so a screen
// can be compared with the renderer's frame byte for byte at any depth.
//   xwd_raw FILE X Y WIDTH HEIGHT BYTES > out.raw
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

static uint32_t big_endian(const uint8_t* at) {
    return (uint32_t{at[0]} << 24) | (uint32_t{at[1]} << 16) | (uint32_t{at[2]} << 8) | at[3];
}

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fputs("usage: xwd_raw FILE X Y WIDTH HEIGHT BYTES\n", stderr);
        return 2;
    }
    FILE* file = std::fopen(argv[1], "rb");
    if (file == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    std::vector<uint8_t> dump;
    uint8_t block[65536];
    size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0)
        dump.insert(dump.end(), block, block + got);
    std::fclose(file);
    if (dump.size() < 100) {
        std::fputs("xwd_raw: not a window dump\n", stderr);
        return 1;
    }
    // The header's CARD32 fields, in the order xwd writes them.
    auto field = [&](int index) { return big_endian(dump.data() + 4 * index); };
    const uint32_t header_size = field(0), version = field(1), format = field(2);
    const uint32_t width = field(4), height = field(5), byte_order = field(7);
    const uint32_t bits = field(11), line = field(12), colors = field(19);
    if (version != 7 || format != 2 || bits % 8 != 0 || bits == 0 || bits > 32) {
        std::fputs("xwd_raw: only ZPixmap dumps of whole bytes per pixel\n", stderr);
        return 1;
    }
    const size_t data = header_size + size_t{colors} * 12;
    const int x0 = std::atoi(argv[2]), y0 = std::atoi(argv[3]);
    const int w = std::atoi(argv[4]), h = std::atoi(argv[5]), out_bytes = std::atoi(argv[6]);
    if (x0 < 0 || y0 < 0 || w < 1 || h < 1 || out_bytes < 1 || out_bytes > 4 ||
        static_cast<uint32_t>(x0 + w) > width || static_cast<uint32_t>(y0 + h) > height ||
        data + size_t{line} * height > dump.size()) {
        std::fputs("xwd_raw: the rectangle is not inside the dump\n", stderr);
        return 1;
    }
    const uint32_t bytes = bits / 8;
    for (int y = y0; y < y0 + h; ++y) {
        for (int x = x0; x < x0 + w; ++x) {
            const uint8_t* at = dump.data() + data + size_t(y) * line + size_t(x) * bytes;
            uint32_t value = 0;
            for (uint32_t i = 0; i < bytes; ++i) {
                const uint32_t byte = at[byte_order == 0 ? i : bytes - 1 - i];  // 0: LSBFirst
                value |= byte << (8 * i);
            }
            for (int i = 0; i < out_bytes; ++i)
                std::putchar(static_cast<int>((value >> (8 * i)) & 0xFF));
        }
    }
    return 0;
}
