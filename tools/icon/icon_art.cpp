// The icon's pictures from the saver's own art (see icon_art.h).
#include "icon_art.h"

#include <algorithm>
#include <cmath>
#include <cstring>

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

uint8_t* pixel_at(IconPicture& picture, int x, int y) {
    return &picture.rgba[(static_cast<size_t>(y) * picture.width + x) * 4];
}

const uint8_t* pixel_at(const IconPicture& picture, int x, int y) {
    return &picture.rgba[(static_cast<size_t>(y) * picture.width + x) * 4];
}

IconPicture blank(int width, int height) {
    IconPicture picture;
    picture.width = width;
    picture.height = height;
    picture.rgba.assign(static_cast<size_t>(width) * height * 4, 0);
    return picture;
}

// Opacity-weighted sums of colour over an area.
struct Sum {
    double red = 0, green = 0, blue = 0, alpha = 0;

    void add(const uint8_t* rgba, double weight) {
        const double opacity = weight * rgba[3] / 255.0;
        red += rgba[0] * opacity;
        green += rgba[1] * opacity;
        blue += rgba[2] * opacity;
        alpha += opacity;
    }
    // The average colour of what is there, with its coverage of the area as alpha.
    void store(uint8_t* out, double area) const {
        if (alpha <= 0) return;
        out[0] = static_cast<uint8_t>(std::lround(red / alpha));
        out[1] = static_cast<uint8_t>(std::lround(green / alpha));
        out[2] = static_cast<uint8_t>(std::lround(blue / alpha));
        out[3] = static_cast<uint8_t>(std::lround(255.0 * alpha / area));
    }
};

// The average colour of every art pixel of one role in rows [top, bottom).
Sum role_colour(const IconArt& art, ArtRole role, int top, int bottom) {
    Sum sum;
    for (int y = std::max(top, 0); y < std::min(bottom, art.picture.height); ++y)
        for (int x = 0; x < art.picture.width; ++x)
            if (art.role[static_cast<size_t>(y) * art.picture.width + x] == role)
                sum.add(pixel_at(art.picture, x, y), 1.0);
    return sum;
}

}  // namespace

IconArt draw_icon_art(long frames) {
    HeadlessRun* run = headless_start(32);
    for (long i = 0; i < frames; ++i) headless_frame(run, HEADLESS_DEFAULT_DT);

    // A pixel that differs between the two backgrounds is background: transparent.
    const size_t size = headless_surface_size(run);
    draw_foreground(run, 0x00);
    std::vector<uint8_t> over_black(run->surface, run->surface + size);
    draw_foreground(run, 0xFF);

    IconArt art;
    const int width = vessel_picture.picture_width;
    const int height = vessel_picture.picture_height;
    art.picture = blank(width, height);
    art.role.assign(static_cast<size_t>(width) * height, ART_NONE);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int sx = scene.picture_x + x;
            const int sy = scene.picture_y + y;
            if (sx < 0 || sx >= FRAME_WIDTH || sy < 0 || sy >= FRAME_HEIGHT) continue;
            const size_t at = static_cast<size_t>(sy) * run->pitch + static_cast<size_t>(sx) * 4;
            if (std::memcmp(&over_black[at], &run->surface[at], 4) != 0) continue;
            uint8_t* out = pixel_at(art.picture, x, y);
            headless_pixel_rgb(run, sx, sy, out);
            out[3] = 255;
            art.role[static_cast<size_t>(y) * width + x] = ART_STAND;
        }
    }
    // Grains drawn last lie over the stand: the wall is the glass, the rest is sand.
    for (int32_t i = 0; i < world.pool.count; ++i) {
        const Particle* grain = world.pool.entries[i];
        const int x = grain->x - scene.picture_x;
        const int y = grain->y - scene.picture_y;
        if (x < 0 || x >= width || y < 0 || y >= height) continue;
        art.role[static_cast<size_t>(y) * width + x] = grain->rest == REST_FIXED ? ART_GLASS : ART_SAND;
    }
    return art;
}

IconPicture fit_art(const IconArt& art, int size) {
    const IconPicture& source = art.picture;
    const double scale = static_cast<double>(size) / std::max(source.width, source.height);
    const double left = (size - source.width * scale) / 2;
    const double top = (size - source.height * scale) / 2;
    IconPicture out = blank(size, size);
    for (int ty = 0; ty < size; ++ty) {
        const double y0 = (ty - top) / scale, y1 = (ty + 1 - top) / scale;
        for (int tx = 0; tx < size; ++tx) {
            const double x0 = (tx - left) / scale, x1 = (tx + 1 - left) / scale;
            Sum sum;
            for (int y = std::max(0, static_cast<int>(std::floor(y0)));
                 y < std::min(source.height, static_cast<int>(std::ceil(y1))); ++y) {
                const double cover_y = std::min<double>(y + 1, y1) - std::max<double>(y, y0);
                for (int x = std::max(0, static_cast<int>(std::floor(x0)));
                     x < std::min(source.width, static_cast<int>(std::ceil(x1))); ++x) {
                    const double cover = cover_y * (std::min<double>(x + 1, x1) - std::max<double>(x, x0));
                    sum.add(pixel_at(source, x, y), cover);
                }
            }
            sum.store(pixel_at(out, tx, ty), (x1 - x0) * (y1 - y0));
        }
    }
    return out;
}

IconPicture draw_small_hourglass(const IconArt& art, int size) {
    const int width = art.picture.width;
    const int height = art.picture.height;
    // The glass's rows and, per row, its outer extent in the art.
    std::vector<int> glass_left(height, width), glass_right(height, -1);
    int glass_top = height, glass_bottom = -1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (art.role[static_cast<size_t>(y) * width + x] == ART_GLASS) {
                glass_left[y] = std::min(glass_left[y], x);
                glass_right[y] = std::max(glass_right[y], x);
                glass_top = std::min(glass_top, y);
                glass_bottom = std::max(glass_bottom, y);
            }
    int widest = 1;
    for (int y = glass_top; y <= glass_bottom; ++y)
        widest = std::max(widest, glass_right[y] - glass_left[y] + 1);

    // Wider than the picture's own proportions, and without the pillars: at these sizes the
    // glass needs every column it can get.
    const int cap = std::max(2, size / 8);
    const int body = size * 3 / 4;
    const int body_left = (size - body) / 2;
    const int glass_max = body - 2;
    const int glass_rows = size - 2 * cap;
    IconPicture out = blank(size, size);

    // The caps: each row in the average shading of the stand's rows it stands for.
    auto draw_cap = [&](int first_row, int art_top, int art_bottom) {
        for (int r = 0; r < cap; ++r) {
            const int from = art_top + (art_bottom - art_top) * r / cap;
            const int to = art_top + (art_bottom - art_top) * (r + 1) / cap;
            const Sum shade = role_colour(art, ART_STAND, from, to);
            uint8_t colour[4] = {0, 0, 0, 0};
            shade.store(colour, shade.alpha);
            const bool outer = (first_row == 0 && r == 0) || (first_row != 0 && r == cap - 1);
            for (int x = body_left + (outer ? 1 : 0); x < body_left + body - (outer ? 1 : 0); ++x)
                std::memcpy(pixel_at(out, x, first_row + r), colour, 4);
        }
    };
    draw_cap(0, 0, glass_top);
    draw_cap(size - cap, glass_bottom + 1, height);

    uint8_t wall[4] = {0, 0, 0, 0}, sand[4] = {0, 0, 0, 0};
    const Sum wall_sum = role_colour(art, ART_GLASS, 0, height);
    wall_sum.store(wall, wall_sum.alpha);
    const Sum sand_sum = role_colour(art, ART_SAND, 0, height);
    sand_sum.store(sand, sand_sum.alpha);
    const uint8_t tint[4] = {224, 236, 255, 96};

    // The glass, row by row: its width from the wall's extent in the rows it stands for (even,
    // so that it stays symmetric about the middle), the outline at both ends, and sand where
    // at least half of the glass's inside in those rows holds sand.
    for (int r = 0; r < glass_rows; ++r) {
        const int from = glass_top + (glass_bottom + 1 - glass_top) * r / glass_rows;
        const int to = glass_top + (glass_bottom + 1 - glass_top) * (r + 1) / glass_rows;
        double extent = 0;
        int inside = 0, sanded = 0;
        for (int y = from; y < to; ++y) {
            extent += glass_right[y] - glass_left[y] + 1;
            for (int x = glass_left[y] + 1; x < glass_right[y]; ++x) {
                const uint8_t role = art.role[static_cast<size_t>(y) * width + x];
                if (role == ART_GLASS) continue;
                ++inside;
                if (role == ART_SAND) ++sanded;
            }
        }
        extent /= std::max(1, to - from);
        const int half = std::max(1, static_cast<int>(std::lround(extent / widest * glass_max / 2)));
        const int left = size / 2 - half;
        const int right = size / 2 + half - 1;
        const int y = cap + r;
        for (int x = left; x <= right; ++x) {
            const uint8_t* colour = x == left || x == right ? wall : 2 * sanded >= inside && inside > 0 ? sand : tint;
            std::memcpy(pixel_at(out, x, y), colour, 4);
        }
    }
    return out;
}
