// Writes the program's icon group from the saver's own art:
//   32 x 32 in 16 colours (the standard VGA palette) and in 256, 16 x 16 in 16, for old systems;
//   32-bit images with alpha at 16, 24, 32 and 48 pixels, and at 256 as a PNG.
// The two smallest are the simple hourglass of draw_small_hourglass, the rest the scaled art.
// The same build always writes the same bytes; a test compares them with the committed file.
//
//   make_icon OUT.ico
#include <cstdio>

#include "icon_art.h"
#include "icon_pack.h"

// The art as the saver shows it 25 seconds after its start: the sand well under way.
constexpr long ART_FRAMES = 1500;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icon OUT.ico\n");
        return 2;
    }
    const IconArt art = draw_icon_art(ART_FRAMES);
    const IconPicture small16 = draw_small_hourglass(art, 16);
    const IconPicture art32 = fit_art(art, 32);
    const std::vector<IconEntry> images = {
        pack_palette_image(art32, 4),
        pack_palette_image(art32, 8),
        pack_palette_image(small16, 4),
        pack_alpha_image(small16),
        pack_alpha_image(draw_small_hourglass(art, 24)),
        pack_alpha_image(art32),
        pack_alpha_image(fit_art(art, 48)),
        pack_png_image(fit_art(art, 256)),
    };
    const std::vector<uint8_t> file = pack_icon_file(images);
    FILE* out = std::fopen(argv[1], "wb");
    if (!out || std::fwrite(file.data(), 1, file.size(), out) != file.size() || std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
