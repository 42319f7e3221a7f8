// Draws the art of the program's icon: the vessel picture and its sand, as the saver shows them
// after a number of frames, without the background. Writes the picture's rectangle as a PAM
// image (RGB with alpha) for tools/make_icon to scale and quantise.
//
//   icon_art FRAMES OUT.pam
//
// The background is told apart by drawing the vessel and the grains twice, once over black and
// once over white: a pixel that differs between the two is background and becomes transparent.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "pixel_format.h"
#include "headless.h"
#include "frame_update.h"
#include "scene.h"
#include "vessel_picture.h"
#include "world.h"

namespace {

// The vessel and every grain over a surface filled with one grey level.
void draw_foreground(HeadlessRun* run, uint8_t fill) {
    std::memset(run->surface, fill, headless_surface_size(run));
    draw_picture();
    for (int32_t i = 0; i < world.pool.count; ++i) {
        const Particle* grain = world.pool.entries[i];
        put_pixel(grain->x, grain->y, grain->red, grain->green, grain->blue);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: icon_art FRAMES OUT.pam\n");
        return 2;
    }
    long frames = std::strtol(argv[1], nullptr, 10);
    if (frames < 0 || frames > 100000) {
        std::fprintf(stderr, "icon_art: FRAMES must be 0..100000\n");
        return 2;
    }
    HeadlessRun* run = headless_start(32);
    for (long i = 0; i < frames; ++i) headless_frame(run, HEADLESS_DEFAULT_DT);

    const size_t size = headless_surface_size(run);
    draw_foreground(run, 0x00);
    std::vector<uint8_t> over_black(run->surface, run->surface + size);
    draw_foreground(run, 0xFF);

    const int width = vessel_picture.picture_width;
    const int height = vessel_picture.picture_height;
    FILE* out = std::fopen(argv[2], "wb");
    if (!out) {
        std::perror(argv[2]);
        return 1;
    }
    std::fprintf(out, "P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n",
                 width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int sx = scene.picture_x + x;
            const int sy = scene.picture_y + y;
            uint8_t pixel[4] = {0, 0, 0, 0};
            if (sx >= 0 && sx < HEADLESS_WIDTH && sy >= 0 && sy < HEADLESS_HEIGHT) {
                const size_t at = static_cast<size_t>(sy) * run->pitch + static_cast<size_t>(sx) * 4;
                if (std::memcmp(&over_black[at], &run->surface[at], 4) == 0) {
                    uint8_t rgb[3];
                    headless_pixel_rgb(run, sx, sy, rgb);
                    pixel[0] = rgb[0];
                    pixel[1] = rgb[1];
                    pixel[2] = rgb[2];
                    pixel[3] = 255;
                }
            }
            std::fwrite(pixel, 1, 4, out);
        }
    }
    if (std::fclose(out) != 0) {
        std::perror(argv[2]);
        return 1;
    }
    return 0;
}
