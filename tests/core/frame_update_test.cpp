// The frame update: the vessel's path, the shift that carries the world with it, the picture
// drawing, and the order in which a frame is drawn.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "frame_clock.h"
#include "pixel_format.h"
#include "background.h"
#include "frame_update.h"
#include "scene.h"
#include "world.h"
#include "world_checks.h"

namespace {

uint8_t surface[640 * 480 * 4];

void use_surface(int bytes_per_pixel) {
    if (bytes_per_pixel == 1)
        set_pixel_layout(1, 0xE0, 0x1C, 0x03, 640, 480);
    else
        set_pixel_layout(4, 0xFF0000, 0xFF00, 0xFF, 640, 480);
    pixel_format.pixels = surface;
    pixel_format.pitch = 640 * bytes_per_pixel;
    std::memset(surface, 0, sizeof surface);
}

uint32_t pixel32(int x, int y) {
    uint32_t v;
    std::memcpy(&v, surface + y * 2560 + x * 4, 4);
    return v;
}

uint16_t count_at(int x, int y) { return world.grid.counts[cell_index(x, y)]; }

void fresh_scene() {
    init_world();
    init_background();
    reset_scene();
    reset_frame_clock(0);
    use_surface(4);
    build_scene();
}

struct Spot {
    int16_t x, y;
};

std::vector<Spot> positions() {
    std::vector<Spot> at;
    for (int32_t i = 0; i < world.pool.count; ++i)
        at.push_back({world.pool.entries[i]->x, world.pool.entries[i]->y});
    return at;
}

TEST(VesselPath, TruncatesTowardZeroAndKeepsThePictureOnTheSurface) {
    // Truncation toward zero: just past 0 the cosine product is above -200 and gives -199.
    EXPECT_EQ(vessel_position(2e-6).x, 519);
    // And just short of 90 the sine product is below 100 in magnitude: 99, not 100.
    EXPECT_EQ(vessel_position(89.9).y, 339);
    // The picture stays on the surface all the way round.
    for (int step = 0; step < 3600; ++step) {
        VesselPosition at = vessel_position(step * 0.1);
        ASSERT_GE(at.x - 66, 54);
        ASSERT_LE(at.x - 66, 454);
        ASSERT_GE(at.y - 120, 20);
        ASSERT_LE(at.y - 120, 220);
    }
}

TEST(UpdateFrame, ZeroDtMovesNothingButTheSand) {
    fresh_scene();
    std::vector<Spot> before = positions();
    uint8_t cursor = world.random.cursor;
    frame_clock.dt = 0.0f;
    update_frame();
    EXPECT_EQ(scene.orbit_angle, 0.0);
    EXPECT_EQ(scene.wave_phase, 0.0);
    EXPECT_EQ(scene.origin_x, 520);
    EXPECT_EQ(scene.origin_y, 240);
    EXPECT_EQ(scene.picture_x, 454);
    EXPECT_EQ(scene.picture_y, 120);
    std::vector<Spot> after = positions();
    int moved = 0;
    for (size_t i = 0; i < after.size(); ++i) {
        bool same = after[i].x == before[i].x && after[i].y == before[i].y;
        if (i < 694) {
            EXPECT_TRUE(same) << "wall grain " << i << " moved";
        }
        if (!same) ++moved;
    }
    EXPECT_GT(moved, 0);  // the sand step ran
    EXPECT_NE(world.random.cursor, cursor);
    EXPECT_EQ(background.row_phase, 255);  // phase 0
    EXPECT_TRUE(world_is_consistent(world));
}

TEST(UpdateFrame, FirstSmallStepShiftsTheWorldOneColumnLeft) {
    fresh_scene();
    std::vector<Spot> before = positions();
    frame_clock.dt = 1e-6f;
    update_frame();
    double d = 2.0 * static_cast<double>(1e-6f);
    EXPECT_EQ(scene.orbit_angle, d);
    EXPECT_EQ(scene.wave_phase, d * 5.0);
    EXPECT_EQ(scene.origin_x, 519);
    EXPECT_EQ(scene.origin_y, 240);
    EXPECT_EQ(scene.picture_x, 453);
    EXPECT_EQ(scene.picture_y, 120);
    std::vector<Spot> after = positions();
    for (int i = 0; i < 694; ++i) {
        EXPECT_EQ(after[i].x, before[i].x - 1) << i;
        EXPECT_EQ(after[i].y, before[i].y) << i;
    }
    // The sand was shifted to (519, 166) before it stepped, so none lies further than one cell.
    for (size_t i = 694; i < after.size(); ++i) {
        EXPECT_LE(std::abs(after[i].x - 519), 1) << i;
        EXPECT_LE(std::abs(after[i].y - 166), 1) << i;
    }
    EXPECT_TRUE(world_is_consistent(world));
}

TEST(UpdateFrame, OrbitAnglesPlaceTheVesselAndCarryTheWall) {
    struct Case {
        double angle;
        int x, y;
    };
    const Case cases[] = {{90, 320, 340}, {180, 120, 240}, {270, 320, 140}};
    for (const Case& c : cases) {
        fresh_scene();
        scene.orbit_angle = c.angle;
        frame_clock.dt = 0.0f;
        update_frame();
        EXPECT_EQ(scene.origin_x, c.x) << c.angle;
        EXPECT_EQ(scene.origin_y, c.y) << c.angle;
        EXPECT_EQ(scene.picture_x, c.x - 66);
        EXPECT_EQ(scene.picture_y, c.y - 120);
        // The first wall grain keeps its place in the picture: (59, 43).
        EXPECT_EQ(world.pool.entries[0]->x, c.x - 66 + 59);
        EXPECT_EQ(world.pool.entries[0]->y, c.y - 120 + 43);
        EXPECT_TRUE(world_is_consistent(world));
    }
}

// The sum of all shifts equals the origin's displacement: the wall never drifts from the
// picture however the frames are cut.
TEST(UpdateFrame, WallStaysOnThePictureOverALap) {
    fresh_scene();
    std::mt19937 random(7);
    std::uniform_real_distribution<float> dt(0.0f, 0.5f);
    const ShapeLayer& marker = vessel_picture.layers[12];
    for (int frame = 0; frame < 1000; ++frame) {
        frame_clock.dt = dt(random);
        update_frame();
        for (int j = 0; j < 694; j += 37) {
            ASSERT_EQ(world.pool.entries[j]->x, scene.picture_x + marker.points[j].x) << frame;
            ASSERT_EQ(world.pool.entries[j]->y, scene.picture_y + marker.points[j].y) << frame;
        }
    }
    EXPECT_GT(scene.orbit_angle, 360.0);
    EXPECT_TRUE(world_is_consistent(world));
}

class ShiftWorld : public ::testing::Test {
protected:
    void SetUp() override { init_world(); }
    Particle grains_[4];
};

TEST_F(ShiftWorld, WrapsAtEveryEdge) {
    add_particle(&grains_[0], 0, 5, 1, 1, 1, 6);
    add_particle(&grains_[1], 639, 479, 1, 1, 1, 255);
    shift_world(-1, 0);
    EXPECT_EQ(grains_[0].x, 639);
    EXPECT_EQ(grains_[0].y, 5);
    EXPECT_EQ(grains_[1].x, 638);
    shift_world(2, 1);  // (639, 479) + (1, 1) for the second grain
    EXPECT_EQ(grains_[1].x, 0);
    EXPECT_EQ(grains_[1].y, 0);
    EXPECT_EQ(grains_[0].x, 1);
    EXPECT_EQ(grains_[0].y, 6);
    EXPECT_EQ(count_at(0, 0), 1);
    EXPECT_EQ(count_at(639, 479), 0);
    EXPECT_EQ(count_at(0, 5), 0);
    EXPECT_EQ(count_at(1, 6), 1);
    // Order, slot and the other fields are untouched; fixed grains move like the rest.
    EXPECT_EQ(world.pool.entries[0], &grains_[0]);
    EXPECT_EQ(grains_[1].slot, 1);
    EXPECT_EQ(grains_[1].rest, 255);
    EXPECT_TRUE(world_is_consistent(world));
}

TEST_F(ShiftWorld, AnyDisplacementIsTheNonNegativeRemainder) {
    add_particle(&grains_[0], 3, 4, 1, 1, 1, 6);
    const int32_t shifts[][2] = {{640 * 3 + 5, -480 * 7 - 2}, {-641, 481},
                                 {INT32_MAX, INT32_MIN}, {INT32_MIN, INT32_MAX}};
    int64_t x = 3, y = 4;
    for (const auto& s : shifts) {
        shift_world(s[0], s[1]);
        x = ((x + s[0]) % 640 + 640) % 640;
        y = ((y + s[1]) % 480 + 480) % 480;
        EXPECT_EQ(grains_[0].x, x) << s[0];
        EXPECT_EQ(grains_[0].y, y) << s[1];
    }
    EXPECT_TRUE(world_is_consistent(world));
}

// A record added twice has one live entry: the grain moves once, and the count its first add
// left behind stays where it was.
TEST_F(ShiftWorld, RecordAddedTwiceMovesOnce) {
    add_particle(&grains_[0], 10, 10, 1, 1, 1, 6);
    add_particle(&grains_[0], 20, 20, 1, 1, 1, 6);
    shift_world(3, 0);
    EXPECT_EQ(grains_[0].x, 23);
    EXPECT_EQ(grains_[0].y, 20);
    EXPECT_EQ(count_at(10, 10), 1);
    EXPECT_EQ(count_at(23, 20), 1);
    EXPECT_EQ(count_at(20, 20), 0);
}

// Crowded cells (the sand starts as 2500 grains in one) keep their counts through any shift.
TEST(ShiftScene, CountsFollowCrowdedCellsThroughRandomShifts) {
    fresh_scene();
    std::mt19937 random(11);
    std::uniform_int_distribution<int32_t> offset(-1500, 1500);
    int32_t total_x = 0, total_y = 0;
    for (int i = 0; i < 200; ++i) {
        int32_t dx = offset(random), dy = offset(random);
        shift_world(dx, dy);
        total_x += dx;
        total_y += dy;
        if (i % 20 == 0) {
            ASSERT_TRUE(world_is_consistent(world)) << i;
        }
    }
    int sand_x = ((520 + total_x) % 640 + 640) % 640;
    int sand_y = ((166 + total_y) % 480 + 480) % 480;
    EXPECT_EQ(count_at(sand_x, sand_y), 2500);
    EXPECT_TRUE(world_is_consistent(world));
}

// Pictures other than the vessel: how layers and points are drawn.
class DrawShapes : public ::testing::Test {
protected:
    void SetUp() override { use_surface(4); }
};

TEST_F(DrawShapes, EmptyLayerDoesNotEndTheLoopAndLaterLayersCoverEarlierOnes) {
    static const ShapePoint a[2] = {{1, 1}, {2, 1}};
    static const ShapePoint c[1] = {{2, 1}};
    const ShapeLayer layers[3] = {
        {2, 10, 20, 30, a}, {0, 99, 99, 99, nullptr}, {1, 40, 50, 60, c}};
    draw_shape_set(ShapeSet{132, 256, 3, 3, layers}, 100, 200);
    EXPECT_EQ(pixel32(101, 201), 0x0A141Eu);
    EXPECT_EQ(pixel32(102, 201), 0x28323Cu);
    // No layers at all draws nothing.
    std::memset(surface, 0, sizeof surface);
    draw_shape_set(ShapeSet{132, 256, 0, 0, layers}, 100, 200);
    for (size_t i = 0; i < sizeof surface; ++i) ASSERT_EQ(surface[i], 0);
}

TEST_F(DrawShapes, PointsOffTheSurfaceAreDroppedNotWrapped) {
    static const ShapePoint p[3] = {{5, 3}, {100, 3}, {5, 10}};
    const ShapeLayer layer = {3, 255, 255, 255, p};
    draw_shape_set(ShapeSet{132, 256, 3, 1, &layer}, 600, -5);
    EXPECT_EQ(pixel32(605, 5), 0xFFFFFFu);  // (5, 10)
    int written = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) written += pixel32(x, y) != 0;
    EXPECT_EQ(written, 1);
}

TEST(DrawPicture, VesselAtThePictureCornerInEitherLayout) {
    init_world();
    reset_scene();
    set_origin(300, 200);  // picture corner (234, 80)
    const ShapePoint& p = vessel_picture.layers[12].points[0];
    const ShapeLayer& light = vessel_picture.layers[11];
    const ShapePoint& q = light.points[light.point_count / 2];

    use_surface(4);
    draw_picture();
    EXPECT_EQ(pixel32(234 + p.x, 80 + p.y), 0x0000FFu);
    EXPECT_EQ(pixel32(234 + q.x, 80 + q.y), 0xB9B9B9u);
    int written = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) written += pixel32(x, y) != 0;
    EXPECT_EQ(written, 16982);  // every point on a pixel of its own

    use_surface(1);
    draw_picture();
    EXPECT_EQ(surface[(80 + p.y) * 640 + 234 + p.x], 0x03);
    EXPECT_EQ(surface[(80 + q.y) * 640 + 234 + q.x], 0xB6);  // 185 grey: 101 101 10
}

// Background under the picture, grains over both.
TEST(UpdateFrame, GrainsCoverThePictureWhichCoversTheBackground) {
    fresh_scene();
    frame_clock.dt = 0.0f;
    update_frame();
    // The wall's grains lie on the marker's pixels and show their grey, not the marker's blue.
    for (int j = 0; j < 694; ++j) {
        const Particle* g = world.pool.entries[j];
        ASSERT_EQ(pixel32(g->x, g->y), 0x606060u) << j;
    }
    // Where the picture lies over the background's area (rows 112..367), it shows its own
    // colour wherever no grain stands.
    const ShapeLayer& light = vessel_picture.layers[11];
    int over_area = 0;
    for (int k = 0; k < light.point_count; ++k) {
        int x = 454 + light.points[k].x, y = 120 + light.points[k].y;
        if (y < 112 || y > 367 || count_at(x, y) != 0) continue;
        int r = y - 112;
        int column = x - 160 - background.row_wave[(background.row_phase + r) & 255];
        if (column < 0 || column >= 320) continue;  // the wave left this pixel uncovered
        ASSERT_EQ(pixel32(x, y), 0xB9B9B9u) << x << "," << y;
        ++over_area;
    }
    EXPECT_GT(over_area, 0);
}

}  // namespace
