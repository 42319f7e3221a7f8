// Where the frame goes in a drawable of any size, for each scale request, and the two ways it is
// scaled there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "frame_fit.h"

namespace {

// Catches: a factor that overflows the drawable, a request that is not honoured (more or less
// than asked), an off-centre frame, a wrong reduction for small or odd sizes.
TEST(FitFrame, Table) {
    const struct {
        int32_t width, height, request;
        FrameFit fit;
    } cases[] = {
        // Fill: the largest whole factor that fits either way.
        {640, 480, FRAME_FILL, {0, 0, 640, 480, 1, false}},
        {1024, 768, FRAME_FILL, {192, 144, 640, 480, 1, false}},
        {1279, 959, FRAME_FILL, {319, 239, 640, 480, 1, false}},
        {1280, 960, FRAME_FILL, {0, 0, 1280, 960, 2, false}},
        {1920, 1080, FRAME_FILL, {320, 60, 1280, 960, 2, false}},
        {2560, 1440, FRAME_FILL, {320, 0, 1920, 1440, 3, false}},
        {3840, 2160, FRAME_FILL, {640, 120, 2560, 1920, 4, false}},
        {7680, 4320, FRAME_FILL, {960, 0, 5760, 4320, 9, false}},
        {1921, 1081, FRAME_FILL, {320, 60, 1280, 960, 2, false}},  // halves drop their fraction
        {640, 4000, FRAME_FILL, {0, 1760, 640, 480, 1, false}},    // the width bounds it
        {20000, 20000, FRAME_FILL, {4880, 6160, 10240, 7680, 16, false}},  // the largest factor
        // At most N; fewer where N does not fit.
        {3840, 2160, 1, {1600, 840, 640, 480, 1, false}},
        {3840, 2160, 2, {1280, 600, 1280, 960, 2, false}},
        {3840, 2160, 3, {960, 360, 1920, 1440, 3, false}},
        {3840, 2160, 5, {640, 120, 2560, 1920, 4, false}},
        {1920, 1080, 3, {320, 60, 1280, 960, 2, false}},
        {1024, 768, 2, {192, 144, 640, 480, 1, false}},
        // Out-of-range requests: above the maximum as fill, below 0 as actual.
        {20000, 20000, 99, {4880, 6160, 10240, 7680, 16, false}},
        {1920, 1080, -3, {640, 300, 640, 480, 1, false}},
        // Smaller than the frame: reduced whatever the request, keeping the shape.
        {320, 240, FRAME_FILL, {0, 0, 320, 240, 1, true}},
        {400, 200, 4, {67, 0, 266, 200, 1, true}},   // height-bound: black left and right
        {200, 400, 1, {0, 125, 200, 150, 1, true}},  // width-bound: black above and below
        {639, 480, FRAME_FILL, {0, 0, 639, 479, 1, true}},
        {2000, 479, FRAME_FILL, {681, 0, 638, 479, 1, true}},
        {1, 1, FRAME_FILL, {0, 0, 1, 1, 1, true}},
        {0, 0, FRAME_FILL, {0, 0, 1, 1, 1, true}},
        {-5, 480, FRAME_FILL, {0, 239, 1, 1, 1, true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " request " << c.request);
        const FrameFit fit = fit_frame(c.width, c.height, c.request);
        EXPECT_EQ(fit.left, c.fit.left);
        EXPECT_EQ(fit.top, c.fit.top);
        EXPECT_EQ(fit.width, c.fit.width);
        EXPECT_EQ(fit.height, c.fit.height);
        EXPECT_EQ(fit.factor, c.fit.factor);
        EXPECT_EQ(fit.reduced, c.fit.reduced);
    }
}

// Catches a rule that is right at the table's sizes only: over many sizes the frame fits, is as
// large as fits (one more factor would not), is centred, and keeps its shape when reduced.
TEST(FitFrame, FitsIsLargestAndCentredForAnySize) {
    std::mt19937 random(8);
    std::uniform_int_distribution<int> size(1, 8000);
    for (int i = 0; i < 20000; ++i) {
        const int w = size(random), h = size(random);
        const FrameFit p = fit_frame(w, h, FRAME_FILL);
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        ASSERT_EQ(p.reduced, w < 640 || h < 480);
        ASSERT_LE(p.left + p.width, w);
        ASSERT_LE(p.top + p.height, h);
        ASSERT_LE(std::abs((w - p.width - p.left) - p.left), 1);
        ASSERT_LE(std::abs((h - p.height - p.top) - p.top), 1);
        if (!p.reduced) {
            ASSERT_TRUE(p.factor == FRAME_MAX_FACTOR ||
                        (p.factor + 1) * 640 > w || (p.factor + 1) * 480 > h);
            continue;
        }
        // One side fills the drawable, and the other is the shape's share of it, rounded down.
        if (p.width == w)
            ASSERT_EQ(p.height, std::max(1, w * 3 / 4));
        else
            ASSERT_TRUE(p.height == h && p.width == std::max(1, h * 4 / 3));
    }
}

// A frame whose every pixel names its own place, in four bytes.
static std::vector<uint8_t> numbered_frame() {
    std::vector<uint8_t> source(640 * 480 * 4);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            uint8_t* p = &source[(y * 640 + x) * 4];
            p[0] = static_cast<uint8_t>(x);
            p[1] = static_cast<uint8_t>(x >> 8);
            p[2] = static_cast<uint8_t>(y);
            p[3] = static_cast<uint8_t>(y >> 8);
        }
    return source;
}

// Catches a block that is off by a pixel, a row or a channel, or a pitch ignored: pixel (x, y)
// becomes exactly the k x k block at (k x, k y), for every depth's pixel size.
TEST(EnlargeFrame, EveryPixelAnExactBlock) {
    const std::vector<uint8_t> source = numbered_frame();
    for (int bytes = 1; bytes <= 4; ++bytes) {
        // The source in this pixel size: the first bytes of each numbered pixel.
        std::vector<uint8_t> narrow(640 * 480 * bytes);
        for (int i = 0; i < 640 * 480; ++i)
            std::copy_n(&source[i * 4], bytes, &narrow[i * bytes]);
        for (int k : {1, 2, 3}) {
            SCOPED_TRACE(testing::Message() << bytes << " bytes, factor " << k);
            const int pitch = 640 * k * bytes + 12;  // a padded row, as surfaces have
            std::vector<uint8_t> target(static_cast<size_t>(pitch) * 480 * k, 0xEE);
            enlarge_frame(narrow.data(), 640 * bytes, bytes, k, target.data(), pitch);
            for (int ty = 0; ty < 480 * k; ++ty) {
                for (int tx = 0; tx < 640 * k; ++tx)
                    ASSERT_EQ(0, std::memcmp(&target[ty * pitch + tx * bytes],
                                             &narrow[((ty / k) * 640 + tx / k) * bytes], bytes))
                        << tx << "," << ty;
                for (int pad = 640 * k * bytes; pad < pitch; ++pad)
                    ASSERT_EQ(0xEE, target[ty * pitch + pad]) << "padding written, row " << ty;
            }
        }
    }
}

// Catches an area enlarged at the wrong place or beyond its edges: the area's blocks are the
// whole enlargement's, every other byte keeps what it held.
TEST(EnlargeFrame, AreaWritesItsBlocksOnly) {
    const std::vector<uint8_t> source = numbered_frame();
    const int k = 3;
    const int pitch = 640 * k * 4;
    std::vector<uint8_t> whole(static_cast<size_t>(pitch) * 480 * k);
    enlarge_frame(source.data(), 640 * 4, 4, k, whole.data(), pitch);
    const FrameArea areas[] = {{0, 0, 1, 1}, {639, 479, 1, 1}, {5, 7, 100, 3}, {0, 0, 0, 9}};
    for (const FrameArea& area : areas) {
        SCOPED_TRACE(testing::Message() << area.left << "," << area.top << " " << area.width
                                        << "x" << area.height);
        std::vector<uint8_t> target(whole.size(), 0xEE);
        enlarge_frame_area(source.data(), 640 * 4, 4, k, area, target.data(), pitch);
        for (int ty = 0; ty < 480 * k; ++ty) {
            const bool row_in = ty / k >= area.top && ty / k < area.top + area.height;
            for (int tx = 0; tx < 640 * k; ++tx) {
                const bool in = row_in && tx / k >= area.left && tx / k < area.left + area.width &&
                                area.width > 0;
                const size_t at = static_cast<size_t>(ty) * pitch + tx * 4;
                if (in)
                    ASSERT_EQ(0, std::memcmp(&target[at], &whole[at], 4)) << tx << "," << ty;
                else
                    ASSERT_EQ(0xEEu, target[at]) << "written outside, " << tx << "," << ty;
            }
        }
    }
}

// Catches a reduction that shifts or stretches the picture: each target pixel comes from the
// source pixel under its centre, every byte of it copied.
TEST(ReduceFrame, NearestPixelUnderEachCentre) {
    const std::vector<uint8_t> source = numbered_frame();
    std::vector<uint8_t> target(640 * 480 * 4);
    // Pixel centres: 2 * source * size <= (2 * target + 1) * frame < 2 * (source + 1) * size.
    auto under_centre = [](int from, int to, int size, int frame) {
        return 2 * from * size <= (2 * to + 1) * frame &&
               (2 * to + 1) * frame < 2 * (from + 1) * size;
    };
    const int sizes[][2] = {{320, 240}, {266, 200}, {200, 150}, {639, 479}, {1, 1}, {97, 72}};
    for (const auto& size : sizes) {
        const FrameFit p = fit_frame(size[0], size[1], FRAME_FILL);
        SCOPED_TRACE(testing::Message() << p.width << "x" << p.height);
        ASSERT_TRUE(p.reduced);
        reduce_frame(source.data(), 640 * 4, 4, p, target.data(), 640 * 4);
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                const uint8_t* t = &target[(y * 640 + x) * 4];
                const int sx = t[0] | t[1] << 8;
                const int sy = t[2] | t[3] << 8;
                ASSERT_TRUE(under_centre(sx, x, p.width, 640)) << x << "," << y << " from " << sx;
                ASSERT_TRUE(under_centre(sy, y, p.height, 480)) << x << "," << y << " from " << sy;
            }
    }
}

}  // namespace
