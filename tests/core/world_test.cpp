// The world's start-up state, its random table and adding grains to the pool.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "world.h"
#include "world_checks.h"

namespace {

class WorldTest : public ::testing::Test {
protected:
    void SetUp() override { init_world(); }
};

TEST(WorldStartUp, RandomTableIsReadyBeforeMain) {
    // No init_world here: the static initialiser must already have filled the table.
    EXPECT_EQ(world.random.bytes[0], 0x29);
    EXPECT_EQ(world.random.bytes[255], 0x76);
}

TEST_F(WorldTest, RandomTableBeginsAndEndsWithTheGeneratorsBytes) {
    const uint8_t first[8] = {0x29, 0x23, 0xBE, 0x84, 0xE1, 0x6C, 0xD6, 0xAE};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(world.random.bytes[i], first[i]) << "position " << i;
    EXPECT_EQ(world.random.bytes[255], 0x76);
}

TEST_F(WorldTest, CursorWrapsAfter256TakesAndTheSequenceRepeats) {
    std::vector<uint8_t> taken;
    for (int i = 0; i < 512; ++i) taken.push_back(next_byte());
    EXPECT_EQ(world.random.cursor, 0);
    EXPECT_EQ(taken[0], 0x29);
    EXPECT_EQ(taken[255], 0x76);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(taken[i], world.random.bytes[i]);
        EXPECT_EQ(taken[i + 256], taken[i]);
    }
}

TEST_F(WorldTest, InitWorldEmptiesAWorldInUse) {
    static Particle grains[3];
    add_particle(&grains[0], 1, 2, 0, 0, 0, 6);
    add_particle(&grains[1], 1, 2, 0, 0, 0, 6);
    add_particle(&grains[2], 639, 479, 0, 0, 0, 255);
    world.flow.pulls[cell_index(7, 7)] = 4;
    next_byte();
    next_byte();

    init_world();
    EXPECT_EQ(world.pool.count, 0);
    EXPECT_EQ(world.random.cursor, 0);
    EXPECT_EQ(world.random.bytes[0], 0x29);
    for (int cell = 0; cell < WORLD_CELLS; ++cell) {
        ASSERT_EQ(world.grid.counts[cell], 0) << "cell " << cell;
        ASSERT_EQ(world.flow.pulls[cell], 0) << "cell " << cell;
    }
}

TEST_F(WorldTest, GrainsTakeTheNextEntryInTheOrderAdded) {
    static Particle grains[2];
    add_particle(&grains[0], 10, 20, 1, 2, 3, 6);
    add_particle(&grains[1], 11, 21, 4, 5, 6, 255);
    ASSERT_EQ(world.pool.count, 2);
    EXPECT_EQ(world.pool.entries[0], &grains[0]);
    EXPECT_EQ(world.pool.entries[1], &grains[1]);
    EXPECT_EQ(grains[1].slot, 1);
    // Column by column: (10, 20) is element 10 * 480 + 20.
    EXPECT_EQ(world.grid.counts[4820], 1);
    EXPECT_EQ(world.grid.counts[cell_index(11, 21)], 1);
    EXPECT_TRUE(world_is_consistent(world));
}

TEST_F(WorldTest, CoordinatesWrapWithTheFloorModulo) {
    struct Case {
        int16_t x, y, wrapped_x, wrapped_y;
    };
    const Case cases[] = {
        {-1, -1, 639, 479},         {640, 480, 0, 0},         {-641, 0, 639, 0},
        {700, 500, 60, 20},         {-32768, -32768, 512, 352}, {32767, 32767, 127, 127},
        {0, 0, 0, 0},               {639, 479, 639, 479},     {-640, -480, 0, 0},
    };
    static Particle grains[sizeof cases / sizeof cases[0]];
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        add_particle(&grains[i], c.x, c.y, 0, 0, 0, 6);
        EXPECT_EQ(grains[i].x, c.wrapped_x) << "added at (" << c.x << ", " << c.y << ")";
        EXPECT_EQ(grains[i].y, c.wrapped_y) << "added at (" << c.x << ", " << c.y << ")";
    }
    EXPECT_EQ(world.grid.counts[cell_index(0, 0)], 3);
    EXPECT_TRUE(world_is_consistent(world));
}

TEST_F(WorldTest, TwoGrainsInOneCellCountTwo) {
    static Particle grains[2];
    add_particle(&grains[0], 300, 200, 0, 0, 0, 6);
    add_particle(&grains[1], 300, 200, 0, 0, 0, 255);
    EXPECT_EQ(world.grid.counts[cell_index(300, 200)], 2);
    EXPECT_TRUE(world_is_consistent(world));
}

TEST_F(WorldTest, AddingARecordTwiceLeavesTheFirstEntryStale) {
    static Particle grain;
    add_particle(&grain, 5, 5, 0, 0, 0, 6);
    add_particle(&grain, 9, 9, 0, 0, 0, 6);
    ASSERT_EQ(world.pool.count, 2);
    EXPECT_EQ(world.pool.entries[0], &grain);
    EXPECT_EQ(world.pool.entries[1], &grain);
    EXPECT_EQ(grain.slot, 1);  // entry 0 no longer live
    EXPECT_EQ(world.grid.counts[cell_index(5, 5)], 1);
    EXPECT_EQ(world.grid.counts[cell_index(9, 9)], 1);
}

TEST_F(WorldTest, AFullPoolRefusesFurtherGrainsWithoutAnyChange) {
    std::vector<Particle> grains(MAX_PARTICLES);
    for (int i = 0; i < MAX_PARTICLES; ++i)
        add_particle(&grains[i], static_cast<int16_t>(i % 100), static_cast<int16_t>(i / 1000), 1,
                     1, 1, 6);
    ASSERT_EQ(world.pool.count, MAX_PARTICLES);
    const std::vector<uint16_t> counts_before(world.grid.counts, world.grid.counts + WORLD_CELLS);

    Particle refused{};
    refused.slot = -7;
    refused.x = 3;
    refused.y = 4;
    refused.red = 10;
    refused.green = 20;
    refused.blue = 30;
    refused.rest = 40;
    const Particle before = refused;
    add_particle(&refused, 50, 60, 70, 80, 90, 100);

    EXPECT_EQ(world.pool.count, MAX_PARTICLES);
    EXPECT_EQ(std::memcmp(&refused, &before, sizeof refused), 0);
    EXPECT_TRUE(std::equal(counts_before.begin(), counts_before.end(), world.grid.counts));
    EXPECT_EQ(world.pool.entries[MAX_PARTICLES - 1], &grains[MAX_PARTICLES - 1]);
    EXPECT_TRUE(world_is_consistent(world));
}

}  // namespace
