// The vessel scene as built once at start: the wall from the marker layer, the sand in its
// one starting cell, the vessel's place and the background's palette and row wave.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "background.h"
#include "scene.h"
#include "world.h"
#include "world_checks.h"

namespace {

void fresh_start() {
    init_world();
    init_background();
    reset_scene();
}

uint16_t count_at(int x, int y) { return world.grid.counts[cell_index(x, y)]; }

struct Rgb {
    int red, green, blue;
};

const Rgb SAND_COLORS[5] = {
    {255, 255, 0}, {255, 255, 255}, {255, 128, 0}, {128, 255, 0}, {0, 255, 255}};

const ShapeLayer& marker_layer() {
    const ShapeLayer& layer = vessel_picture.layers[12];
    EXPECT_EQ(layer.red, 0);
    EXPECT_EQ(layer.green, 0);
    EXPECT_EQ(layer.blue, 255);
    return layer;
}

// Checks entries [first, first + 2500) hold the sand, interleaved group by group per pass, all
// in the pouring cell.
void expect_sand_from(int first, int x, int y) {
    for (int i = 0; i < SAND_PER_GROUP; ++i) {
        for (int group = 0; group < SAND_GROUPS; ++group) {
            int entry = first + i * SAND_GROUPS + group;
            const Particle* g = world.pool.entries[entry];
            ASSERT_EQ(g, &scene.scene_particles[group * SAND_PER_GROUP + i]) << entry;
            ASSERT_EQ(g->slot, entry);
            ASSERT_EQ(g->x, x);
            ASSERT_EQ(g->y, y);
            ASSERT_EQ(g->red, SAND_COLORS[group].red);
            ASSERT_EQ(g->green, SAND_COLORS[group].green);
            ASSERT_EQ(g->blue, SAND_COLORS[group].blue);
            ASSERT_EQ(g->rest, 6);
        }
    }
}

class BuiltScene : public ::testing::Test {
protected:
    void SetUp() override {
        fresh_start();
        build_scene();
    }
};

TEST_F(BuiltScene, VesselStandsAtTheRightEndOfItsPath) {
    EXPECT_EQ(scene.origin_x, 520);
    EXPECT_EQ(scene.origin_y, 240);
    EXPECT_EQ(scene.picture_x, 454);
    EXPECT_EQ(scene.picture_y, 120);
    EXPECT_EQ(scene.orbit_angle, 0.0);
    EXPECT_EQ(scene.wave_phase, 0.0);
}

TEST_F(BuiltScene, PoolHoldsTheWallInMarkerOrderThenTheSand) {
    ASSERT_EQ(world.pool.count, 3194);
    const ShapeLayer& marker = marker_layer();
    ASSERT_EQ(marker.point_count, 694);
    for (int j = 0; j < 694; ++j) {
        const Particle* g = world.pool.entries[j];
        ASSERT_EQ(g, &scene.scene_particles[2500 + j]) << j;
        EXPECT_EQ(g->slot, j);
        EXPECT_EQ(g->x, 454 + marker.points[j].x) << j;
        EXPECT_EQ(g->y, 120 + marker.points[j].y) << j;
        EXPECT_EQ(g->red, 96);
        EXPECT_EQ(g->green, 96);
        EXPECT_EQ(g->blue, 96);
        EXPECT_EQ(g->rest, 255);
    }
    const Particle* first = world.pool.entries[0];
    EXPECT_EQ(first->x, 513);
    EXPECT_EQ(first->y, 163);
    expect_sand_from(694, 520, 166);
    // The outline's spare records stay untouched.
    for (int r = 2500 + 694; r < SCENE_RECORDS; ++r) EXPECT_EQ(scene.scene_particles[r].rest, 0);
}

TEST_F(BuiltScene, GridCountsTheSandCellAndEveryWallCellOnce) {
    EXPECT_EQ(count_at(520, 166), 2500);
    const ShapeLayer& marker = marker_layer();
    for (int j = 0; j < marker.point_count; ++j)
        EXPECT_EQ(count_at(454 + marker.points[j].x, 120 + marker.points[j].y), 1) << j;
    EXPECT_TRUE(world_is_consistent(world));
}

TEST_F(BuiltScene, BackgroundGetsRingsPaletteAndTwoSinePeriods) {
    EXPECT_EQ(background.pattern, PATTERN_RINGS);
    struct Entry {
        int index, red, green, blue;
    };
    const Entry palette[] = {{0, 0, 0, 0},       {1, 0, 0, 2},       {63, 32, 32, 128},
                             {64, 32, 32, 128},  {127, 64, 64, 128}, {128, 64, 64, 128},
                             {129, 62, 62, 126}, {191, 0, 0, 31},    {192, 0, 0, 32},
                             {255, 0, 0, 0}};
    for (const Entry& e : palette) {
        const BackgroundColor& c = background.colors[e.index];
        EXPECT_EQ(c.red, e.red) << "entry " << e.index;
        EXPECT_EQ(c.green, e.green) << "entry " << e.index;
        EXPECT_EQ(c.blue, e.blue) << "entry " << e.index;
    }
    EXPECT_EQ(background.row_wave[0], 0);
    EXPECT_EQ(background.row_wave[1], 6);
    EXPECT_EQ(background.row_wave[32], 128);
    EXPECT_EQ(background.row_wave[64], 0);
    EXPECT_EQ(background.row_wave[96], -128);
    for (int k = 0; k < 128; ++k) EXPECT_EQ(background.row_wave[128 + k], background.row_wave[k]);
    for (int k = 0; k < 256; ++k) EXPECT_EQ(background.column_wave[k], 0);
}

// Pictures other than the vessel's: the marker's presence and size decide the wall.
class OtherPicture : public ::testing::Test {
protected:
    void SetUp() override { fresh_start(); }

    // A grey layer, then (optionally) a marker of n points in rows of 100, then a second layer
    // in the marker colour that must never be taken.
    void build(int marker_points, bool with_marker = true) {
        for (int i = 0; i < 900; ++i)
            points_[i] = ShapePoint{static_cast<uint8_t>(i % 100), static_cast<uint8_t>(i / 100)};
        static const ShapePoint decoy[2] = {{200, 200}, {201, 200}};
        layers_[0] = ShapeLayer{2, 70, 70, 70, decoy};
        layers_[1] = ShapeLayer{static_cast<uint16_t>(marker_points), 0, 0,
                                static_cast<uint8_t>(with_marker ? 255 : 254), points_};
        layers_[2] = ShapeLayer{2, 0, 0, 255, decoy};
        picture_ = ShapeSet{132, 256, 0, static_cast<uint8_t>(with_marker ? 3 : 2), layers_};
        build_scene_from(picture_);
    }

    ShapePoint points_[900];
    ShapeLayer layers_[3];
    ShapeSet picture_;
};

TEST_F(OtherPicture, WithoutMarkerOnlyTheSandIsPoured) {
    build(40, false);  // blue 254 is not the marker colour
    ASSERT_EQ(world.pool.count, 2500);
    expect_sand_from(0, 520, 166);
    EXPECT_EQ(count_at(520, 166), 2500);
    EXPECT_EQ(background.pattern, PATTERN_RINGS);
    EXPECT_EQ(background.colors[127].blue, 128);
    EXPECT_EQ(background.row_wave[32], 128);
    EXPECT_TRUE(world_is_consistent(world));
}

TEST_F(OtherPicture, FirstMarkerLayerIsTheWall) {
    build(3);
    ASSERT_EQ(world.pool.count, 2503);
    for (int j = 0; j < 3; ++j) {
        EXPECT_EQ(world.pool.entries[j], &scene.scene_particles[2500 + j]);
        EXPECT_EQ(world.pool.entries[j]->x, 454 + j);
        EXPECT_EQ(world.pool.entries[j]->y, 120);
    }
    expect_sand_from(3, 520, 166);
}

TEST_F(OtherPicture, MarkerOf799PointsIsWalledCompletely) {
    build(799);
    ASSERT_EQ(world.pool.count, 799 + 2500);
    const Particle* last = world.pool.entries[798];
    EXPECT_EQ(last, &scene.scene_particles[2500 + 798]);
    EXPECT_EQ(last->x, 454 + 98);
    EXPECT_EQ(last->y, 120 + 7);
    expect_sand_from(799, 520, 166);
    EXPECT_TRUE(world_is_consistent(world));
}

TEST_F(OtherPicture, MarkerOf800PointsOrNoneGetsNoWall) {
    build(800);
    EXPECT_EQ(world.pool.count, 2500);
    expect_sand_from(0, 520, 166);
    fresh_start();
    build(0);
    EXPECT_EQ(world.pool.count, 2500);
}

// A nearly full pool takes what fits; each point keeps its own record all the same.
TEST_F(OtherPicture, FullPoolDropsTheRestButRecordsStayPerPoint) {
    std::vector<Particle> filler(MAX_PARTICLES - 2);
    for (Particle& p : filler) add_particle(&p, 0, 0, 1, 2, 3, REST_FIXED);
    build(5);
    ASSERT_EQ(world.pool.count, MAX_PARTICLES);
    EXPECT_EQ(world.pool.entries[MAX_PARTICLES - 2], &scene.scene_particles[2500]);
    EXPECT_EQ(world.pool.entries[MAX_PARTICLES - 1], &scene.scene_particles[2501]);
    for (int r = 2502; r < 2505; ++r) EXPECT_EQ(scene.scene_particles[r].rest, 0) << r;
    EXPECT_EQ(scene.scene_particles[0].rest, 0);  // the sand found no room
    EXPECT_EQ(count_at(520, 166), 0);
}

}  // namespace
