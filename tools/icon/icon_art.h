// The pictures of the program's icon, drawn from the saver's own art: the vessel and its sand as
// the renderer shows them, scaled down for the larger images and redrawn as a simple hourglass
// for the smallest ones, where a scaled picture no longer reads as one.
#pragma once

#include <cstdint>
#include <vector>

// Red, green, blue and alpha bytes, rows top-down.
struct IconPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;
};

// What each pixel of the art shows.
enum ArtRole : uint8_t { ART_NONE, ART_STAND, ART_GLASS, ART_SAND };

struct IconArt {
    IconPicture picture;        // the vessel picture's rectangle, background transparent
    std::vector<uint8_t> role;  // an ArtRole per pixel
};

// The vessel and its sand after the given number of 60 Hz frames of the headless renderer.
IconArt draw_icon_art(long frames);

// The art fitted into a size x size square, centred: every target pixel the average of the
// source area it covers, colours weighed by their opacity.
IconPicture fit_art(const IconArt& art, int size);

// A size x size hourglass of few pixels for the smallest images: the two caps of the stand in
// its own shading, the glass's outline from the vessel's wall row by row, and the sand where the
// art has it, in the sand's average colour. The glass between is a light translucent tint.
IconPicture draw_small_hourglass(const IconArt& art, int size);
