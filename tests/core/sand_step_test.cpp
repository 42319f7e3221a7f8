// The sand step: the worked examples, the byte accounting, the wrap, the return rule, the visit
// order, drawing, and the bookkeeping over thousands of steps of a random world.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <utility>
#include <vector>

#include "pixel_format.h"
#include "sand_step.h"
#include "world.h"
#include "world_checks.h"

namespace {

constexpr uint8_t FILL = 0xA5;  // surface bytes that nothing stored
constexpr int PITCH = WORLD_WIDTH * 4 + 16;
constexpr int ROWS = WORLD_HEIGHT + 1;  // one row past the surface catches stray stores
constexpr uint32_t GRAIN_PIXEL = 0x123456;  // (0x12, 0x34, 0x56) in the 8-8-8 layout

// A simple generator of our own, so the random worlds are the same in both builds.
struct Lcg {
    uint32_t state;
    uint32_t next(uint32_t bound) {
        state = state * 1664525u + 1013904223u;
        return static_cast<uint32_t>((uint64_t{state >> 8} * bound) >> 24);
    }
};

using Cell = std::pair<int, int>;
Cell at(const Particle& g) { return {g.x, g.y}; }

// One grain's visit among fixed grains, which take no byte and never move. Bytes & 3 of the
// table from position 0: 1 3 2 0 1 0 2 2; their lowest bits: 1 1 0 0 1 0 0 0.
struct Visit {
    const char* what;
    Cell from;
    uint8_t rest;
    uint8_t cursor;
    std::vector<Cell> fixed;  // one fixed grain per entry; repeated cells stack up
    Cell to;
    uint8_t cursor_after;
    uint8_t flow = 0;  // the pull of the grain's own cell
    int32_t origin_x = 320, return_y = 20, trigger_y = 420;  // away from every case's grain
};

class SandStep : public ::testing::Test {
protected:
    std::deque<Particle> records;  // stable addresses
    std::vector<uint8_t> surface;

    void SetUp() override {
        init_world();
        surface.assign(static_cast<size_t>(PITCH) * ROWS, FILL);
        use_layout(4, 0xFF0000, 0xFF00, 0xFF, 16, 8, 0);
    }

    void use_layout(int32_t bytes, uint32_t red_mask, uint32_t green_mask, uint32_t blue_mask,
                    int32_t red_shift, int32_t green_shift, int32_t blue_shift) {
        pixel_format = PixelFormat{};
        pixel_format.bytes_per_pixel = bytes;
        pixel_format.red_mask = red_mask;
        pixel_format.green_mask = green_mask;
        pixel_format.blue_mask = blue_mask;
        pixel_format.red_shift = red_shift;
        pixel_format.green_shift = green_shift;
        pixel_format.blue_shift = blue_shift;
        pixel_format.pixels = surface.data();
        pixel_format.pitch = PITCH;
        pixel_format.width = WORLD_WIDTH;
        pixel_format.height = WORLD_HEIGHT;
    }

    Particle& add(int x, int y, uint8_t rest, uint8_t red = 0x12, uint8_t green = 0x34,
                  uint8_t blue = 0x56) {
        records.emplace_back();
        add_particle(&records.back(), static_cast<int16_t>(x), static_cast<int16_t>(y), red, green,
                     blue, rest);
        return records.back();
    }
    void add_fixed(int x, int y, int how_many = 1) {
        for (int i = 0; i < how_many; ++i) add(x, y, REST_FIXED, 0x01, 0x02, 0x03);
    }

    static int count_at(int x, int y) { return world.grid.counts[cell_index(x, y)]; }
    uint32_t pixel(int x, int y) const {
        uint32_t value;
        std::memcpy(&value, &surface[static_cast<size_t>(y) * PITCH + x * 4], 4);
        return value;
    }
    int stored_pixels() const {
        int stored = 0;
        for (int y = 0; y < WORLD_HEIGHT; ++y)
            for (int x = 0; x < WORLD_WIDTH; ++x) stored += pixel(x, y) != 0xA5A5A5A5u;
        return stored;
    }
    static void step() { step_sand(320, 20, 420); }

    // Runs one step of a fresh world holding the case's fixed grains and, added last so that it
    // is visited first, its grain; checks where the grain ends, the cursor and its pixel.
    void check(const Visit& v) {
        init_world();
        records.clear();
        surface.assign(surface.size(), FILL);
        for (Cell c : v.fixed) add_fixed(c.first, c.second);
        Particle& g = add(v.from.first, v.from.second, v.rest);
        world.flow.pulls[cell_index(v.from.first, v.from.second)] = v.flow;
        world.random.cursor = v.cursor;
        step_sand(v.origin_x, v.return_y, v.trigger_y);
        EXPECT_EQ(at(g), v.to) << v.what;
        EXPECT_EQ(world.random.cursor, v.cursor_after) << v.what;
        if (std::find(v.fixed.begin(), v.fixed.end(), v.to) == v.fixed.end()) {  // else hidden
            EXPECT_EQ(pixel(v.to.first, v.to.second), GRAIN_PIXEL) << v.what;
        }
        EXPECT_TRUE(world_is_consistent(world)) << v.what;
    }
};

// The eight cells around (100, 100).
std::vector<Cell> ring_around_100() {
    std::vector<Cell> cells;
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy)
            if (dx != 0 || dy != 0) cells.push_back({100 + dx, 100 + dy});
    return cells;
}

TEST_F(SandStep, LoneGrainFallsDiagonallyOnTheFirstByte) {
    Particle& g = add(100, 100, 6);
    step();
    EXPECT_EQ(at(g), Cell(101, 101));
    EXPECT_EQ(count_at(100, 100), 0);
    EXPECT_EQ(count_at(101, 101), 1);
    EXPECT_EQ(world.random.cursor, 1);
    EXPECT_EQ(pixel(101, 101), GRAIN_PIXEL);
    EXPECT_EQ(stored_pixels(), 1);
}

TEST_F(SandStep, BalancedCrowdTakesTwoTieBreakBytesAndStaysWhenTheTargetIsTaken) {
    for (Cell c : ring_around_100()) add_fixed(c.first, c.second);
    Particle& g = add(100, 100, 6);
    step();
    EXPECT_EQ(at(g), Cell(100, 100));
    EXPECT_EQ(count_at(100, 100), 1);
    EXPECT_EQ(world.random.cursor, 3);
    EXPECT_EQ(pixel(100, 100), GRAIN_PIXEL);
}

TEST_F(SandStep, CrowdPushTieBreakAndByteAccounting) {
    const std::vector<Cell> floor = {{100, 101}, {99, 101}, {101, 101}, {99, 100}, {101, 100},
                                     {99, 99}};
    const std::vector<Cell> sides = {{99, 100}, {101, 100}};
    const Visit visits[] = {
        // A full floor and above-left taken: pushed above-right, and up or right by the byte.
        {"full floor, byte & 3 = 1", {100, 100}, 6, 0, floor, {100, 99}, 1},
        {"full floor, byte & 3 = 3: right is taken", {100, 100}, 6, 1, floor, {100, 100}, 2},
        {"full floor, byte & 3 = 2", {100, 100}, 6, 2, floor, {101, 99}, 3},
        {"full floor, byte & 3 = 0", {100, 100}, 6, 3, floor, {101, 99}, 4},
        // Left and right taken, rest 2: balanced, so two bytes pick the sides.
        {"tie +1 +1: below-right", {100, 100}, 2, 0, sides, {101, 101}, 3},
        {"tie +1 -1: right, taken", {100, 100}, 2, 1, sides, {100, 100}, 4},
        {"tie -1 -1: left, choice one before", {100, 100}, 2, 2, sides, {99, 101}, 5},
        {"tie -1 +1: below-left", {100, 100}, 2, 3, sides, {99, 101}, 6},
        {"fixed: drawn, no byte", {100, 100}, REST_FIXED, 0, {}, {100, 100}, 0},
        {"below taken, below-right free: stays, byte used", {100, 100}, 6, 2, {{100, 101}},
         {100, 100}, 3},
        {"push (0, -1) cancelled by the pull: no byte", {100, 100}, 1, 0, {{100, 101}},
         {100, 100}, 0},
        {"rest 0 alone: tie-break and choice", {100, 100}, 0, 0, {}, {101, 101}, 3},
        {"diagonal between two taken cells", {100, 100}, 9, 0, {{100, 101}, {101, 100}},
         {101, 101}, 1},
        {"rest 254, 254 grains left: pushed right", {100, 100}, 254, 2,
         std::vector<Cell>(254, Cell(99, 100)), {101, 101}, 3},
        {"rest 254, 253 grains left: falls", {100, 100}, 254, 2,
         std::vector<Cell>(253, Cell(99, 100)), {100, 101}, 3},
        {"three below count three: pushed up", {100, 100}, 3, 2,
         std::vector<Cell>(3, Cell(100, 101)), {100, 99}, 3},
        {"three below, rest 4: falls and is blocked", {100, 100}, 4, 2,
         std::vector<Cell>(3, Cell(100, 101)), {100, 100}, 3},
    };
    for (const Visit& v : visits) check(v);
}

TEST_F(SandStep, NeighboursWrapAtTheWorldsEdges) {
    const Visit visits[] = {
        {"lone at (5, 479), below", {5, 479}, 6, 2, {}, {5, 0}, 3},
        {"lone at the last cell, below-right", {639, 479}, 6, 0, {}, {0, 0}, 1},
        {"lone at the first cell, below-left", {0, 0}, 6, 1, {}, {639, 1}, 2},
        {"right edge, below-right", {639, 100}, 6, 0, {}, {0, 101}, 1},
        {"below-right across both edges taken", {639, 479}, 9, 0, {{0, 0}}, {639, 479}, 1},
        {"above-left across both edges pushes", {0, 0}, 1, 2, {{639, 479}}, {1, 1}, 3},
        {"above-right across the edge pushes", {639, 479}, 1, 2, {{0, 478}}, {638, 0}, 3},
    };
    for (const Visit& v : visits) check(v);
}

TEST_F(SandStep, FlowValuesPullTowardTheirNeighbour) {
    const Visit visits[] = {
        {"flow 0", {100, 100}, 6, 2, {}, {100, 101}, 3, 0},
        {"flow 1", {100, 100}, 6, 2, {}, {99, 101}, 3, 1},
        {"flow 2", {100, 100}, 6, 2, {}, {99, 100}, 3, 2},
        {"flow 3", {100, 100}, 6, 2, {}, {99, 99}, 3, 3},
        {"flow 4", {100, 100}, 6, 2, {}, {100, 99}, 3, 4},
        {"flow 5", {100, 100}, 6, 2, {}, {101, 99}, 3, 5},
        {"flow 6", {100, 100}, 6, 2, {}, {101, 100}, 3, 6},
        {"flow 7", {100, 100}, 6, 2, {}, {101, 101}, 3, 7},
        {"flow 8: no pull, no byte", {100, 100}, 6, 2, {}, {100, 100}, 2, 8},
        {"flow 255: no pull, no byte", {100, 100}, 6, 2, {}, {100, 100}, 2, 255},
        {"flow 8 in a crowd: the push alone", {100, 100}, 1, 2, {{99, 100}}, {101, 100}, 3, 8},
        // Balanced above and below: tie-break +1 +1, then the pull right gives (2, 1). Pulling
        // before the tie-break would skip it and take byte 0 for above-right.
        {"pull added after the tie-break", {100, 100}, 2, 0, {{100, 99}, {100, 101}},
         {101, 101}, 3, 6},
    };
    for (const Visit& v : visits) check(v);
}

TEST_F(SandStep, ReturnRuleCarriesGrainsFromTheTriggerCellsToTheReturnCells) {
    // Origin column 320, return row 200, trigger row 300: triggers (344, 300) and (296, 300),
    // return cells (328, 200) and (312, 200). Lone grains: bytes 0, 1, 2 fall below-right,
    // below-left and below.
    const Visit visits[] = {
        {"right trigger", {343, 299}, 9, 0, {}, {328, 200}, 1, 0, 320, 200, 300},
        {"left trigger, below-right", {295, 299}, 9, 0, {}, {312, 200}, 1, 0, 320, 200, 300},
        {"left trigger, below-left", {297, 299}, 9, 1, {}, {312, 200}, 2, 0, 320, 200, 300},
        {"left trigger, below", {296, 299}, 9, 2, {}, {312, 200}, 3, 0, 320, 200, 300},
        {"return cell taken", {343, 299}, 9, 0, {{328, 200}}, {328, 200}, 1, 0, 320, 200, 300},
        {"trigger cell taken", {343, 299}, 9, 0, {{344, 300}}, {343, 299}, 1, 0, 320, 200, 300},
        {"already on the trigger cell", {344, 300}, 9, 0, {}, {345, 301}, 1, 0, 320, 200, 300},
        {"trigger row, other column", {330, 299}, 9, 0, {}, {331, 300}, 1, 0, 320, 200, 300},
        {"trigger column, other row", {343, 300}, 9, 0, {}, {344, 301}, 1, 0, 320, 200, 300},
        {"right trigger past the edge, not wrapped", {13, 299}, 9, 0, {}, {14, 300}, 1, 0, 630,
         200, 300},
        {"left trigger past the edge, not wrapped", {625, 299}, 9, 0, {}, {626, 300}, 1, 0, 10,
         200, 300},
        {"return row outside the world wraps", {343, 299}, 9, 0, {}, {328, 470}, 1, 0, 320, -10,
         300},
        {"return column outside the world wraps", {3, 299}, 9, 0, {}, {628, 200}, 1, 0, -20, 200,
         300},
    };
    for (const Visit& v : visits) check(v);  // the consistency check covers the trigger's count
}

TEST_F(SandStep, HigherPoolIndexChoosesFirst) {
    // Two lone grains two columns apart both aim at (101, 101). Bytes & 3 at 13, 14: 3, 1;
    // at 0, 1: 1, 3. The grain visited first takes the cell; the other finds it taken.
    {
        Particle& left = add(100, 100, 6);
        Particle& right = add(102, 100, 6);  // index 1: first, takes 3 (below-left)
        world.random.cursor = 13;
        step();
        EXPECT_EQ(at(right), Cell(101, 101));
        EXPECT_EQ(at(left), Cell(100, 100));
    }
    init_world();
    records.clear();
    {
        Particle& right = add(102, 100, 6);
        Particle& left = add(100, 100, 6);  // index 1: first, takes 1 (below-right)
        world.random.cursor = 0;
        step();
        EXPECT_EQ(at(left), Cell(101, 101));
        EXPECT_EQ(at(right), Cell(102, 100));
    }
}

TEST_F(SandStep, ACellLeftEarlierInTheStepIsFreeForLaterGrains) {
    // A grain directly above another; both ignore the crowd and choose below (bytes 2, 3).
    {
        Particle& upper = add(100, 99, 9);
        Particle& lower = add(100, 100, 9);  // visited first, makes room
        world.random.cursor = 2;
        step();
        EXPECT_EQ(lower.y, 101);
        EXPECT_EQ(upper.y, 100);
    }
    init_world();
    records.clear();
    {
        Particle& lower = add(100, 100, 9);
        Particle& upper = add(100, 99, 9);  // visited first, finds the cell below taken
        world.random.cursor = 2;
        step();
        EXPECT_EQ(upper.y, 99);
        EXPECT_EQ(lower.y, 101);
    }
    EXPECT_TRUE(world_is_consistent(world));
}

TEST_F(SandStep, StaleEntryIsNeitherMovedNorDrawn) {
    Particle& g = add(50, 50, 6);
    add_particle(&g, 60, 60, 0x12, 0x34, 0x56, 6);  // entry 0 is now stale
    step();
    EXPECT_EQ(at(g), Cell(61, 61));  // moved once, by entry 1
    EXPECT_EQ(world.random.cursor, 1);
    EXPECT_EQ(count_at(50, 50), 1);  // the stale entry's count stays
    EXPECT_EQ(count_at(60, 60), 0);
    EXPECT_EQ(count_at(61, 61), 1);
    EXPECT_EQ(pixel(61, 61), GRAIN_PIXEL);
    EXPECT_EQ(stored_pixels(), 1);
}

TEST_F(SandStep, RecordOffTheGridIsNeitherMovedNorDrawnAndTouchesNoCount) {
    Particle& g = add(100, 100, 6);
    g.y = 480;  // a record broken elsewhere: its cell index would name (101, 0)
    const std::vector<uint16_t> counts(world.grid.counts, world.grid.counts + WORLD_CELLS);
    step();
    EXPECT_EQ(at(g), Cell(100, 480));
    EXPECT_EQ(world.random.cursor, 0);
    EXPECT_TRUE(std::equal(counts.begin(), counts.end(), world.grid.counts));
    EXPECT_EQ(stored_pixels(), 0);
}

TEST_F(SandStep, EmptyPoolDoesNothing) {
    step();
    EXPECT_EQ(world.random.cursor, 0);
    EXPECT_EQ(stored_pixels(), 0);
}

// A random world: clusters near the edges and around the trigger cells, stacked cells whose
// grains differ in colour, random rests with some fixed grains, and a few odd flow values.
void build_random_world(std::deque<Particle>& records, uint32_t seed, int grains) {
    Lcg lcg{seed};
    for (int i = 0; i < grains; ++i) {
        // Across the corner where all four edges meet, in the trigger cells' cluster, on the
        // left edge, or anywhere.
        static const int AREAS[4][4] = {
            {600, 80, 440, 80}, {300, 60, 250, 60}, {0, 40, 200, 30}, {0, 640, 0, 480}};
        const int* area = AREAS[lcg.next(4)];
        const int x = area[0] + static_cast<int>(lcg.next(area[1]));
        const int y = area[2] + static_cast<int>(lcg.next(area[3]));
        const int copies = lcg.next(8) == 0 ? 3 : 1;
        const uint8_t rest = lcg.next(10) == 0 ? REST_FIXED : static_cast<uint8_t>(lcg.next(10));
        for (int k = 0; k < copies; ++k) {
            records.emplace_back();
            add_particle(&records.back(), static_cast<int16_t>(x), static_cast<int16_t>(y),
                         static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8),
                         static_cast<uint8_t>(0x80 + k), rest);
        }
    }
    for (int i = 0; i < 200; ++i)
        world.flow.pulls[lcg.next(WORLD_CELLS)] = static_cast<uint8_t>(lcg.next(12));
}

int wrapped_distance(int a, int b, int size) {
    const int d = a > b ? a - b : b - a;
    return d < size - d ? d : size - d;
}

TEST_F(SandStep, BookkeepingHoldsOverThousandsOfSteps) {
    build_random_world(records, 12345, 3000);
    const int32_t count = world.pool.count;
    ASSERT_TRUE(world_is_consistent(world));
    std::vector<std::pair<int, int>> before(count);
    int returned = 0;
    for (int s = 0; s < 3000; ++s) {
        for (int32_t i = 0; i < count; ++i)
            before[i] = {world.pool.entries[i]->x, world.pool.entries[i]->y};
        step_sand(330, 230, 290);  // trigger cells (354, 290) and (306, 290), in the cluster
        ASSERT_EQ(world.pool.count, count);
        ASSERT_TRUE(world_is_consistent(world)) << "after step " << s;
        for (int32_t i = 0; i < count; ++i) {
            const Particle& g = *world.pool.entries[i];
            const int dx = wrapped_distance(g.x, before[i].first, WORLD_WIDTH);
            const int dy = wrapped_distance(g.y, before[i].second, WORLD_HEIGHT);
            const bool on_return = g.y == 230 && (g.x == 338 || g.x == 322);
            if (g.rest == REST_FIXED) {
                ASSERT_TRUE(dx == 0 && dy == 0) << "fixed grain " << i << " moved";
            }
            if (on_return && (dx > 1 || dy > 1)) {
                ++returned;
            } else {
                ASSERT_TRUE(dx <= 1 && dy <= 1) << "grain " << i << " jumped at step " << s;
            }
        }
    }
    EXPECT_GT(returned, 0);  // the return rule took part
}

// Hashes grain positions, the cursor and the whole surface: the same in both builds.
uint64_t fingerprint(const std::vector<uint8_t>& surface) {
    uint64_t hash = 1469598103934665603ull;
    auto mix = [&hash](uint32_t value) {
        for (int b = 0; b < 4; ++b) hash = (hash ^ ((value >> (8 * b)) & 0xFF)) * 1099511628211ull;
    };
    for (int32_t i = 0; i < world.pool.count; ++i) {
        const Particle& g = *world.pool.entries[i];
        mix(static_cast<uint32_t>(g.x) << 16 | static_cast<uint16_t>(g.y));
    }
    mix(world.random.cursor);
    for (uint8_t byte : surface) mix(byte);
    return hash;
}

TEST_F(SandStep, RandomWorldGivesTheSameFrameEveryRun) {
    build_random_world(records, 777, 3000);
    for (int s = 0; s < 500; ++s) step_sand(330, 230, 290);
    surface.assign(surface.size(), FILL);
    step_sand(330, 230, 290);
    EXPECT_EQ(fingerprint(surface), 5137193181324642680ull);
}

// Paints what one step must have stored: each live grain at its final place, visited from the
// highest index down, so a shared cell shows the lowest index that ended there.
std::vector<uint8_t> expected_frame(const std::vector<uint8_t>& blank) {
    std::vector<uint8_t> frame = blank;
    uint8_t* const real = pixel_format.pixels;
    pixel_format.pixels = frame.data();
    for (int32_t i = world.pool.count - 1; i >= 0; --i) {
        const Particle& g = *world.pool.entries[i];
        if (g.slot == i)
            put_pixel(static_cast<uint32_t>(g.x), static_cast<uint32_t>(g.y), g.red, g.green,
                      g.blue);
    }
    pixel_format.pixels = real;
    return frame;
}

TEST_F(SandStep, DrawsEveryLiveGrainAtItsNewPlaceInEveryLayout) {
    struct Layout {
        int32_t bytes;
        uint32_t red_mask, green_mask, blue_mask;
        int32_t red_shift, green_shift, blue_shift;
    };
    const Layout layouts[] = {
        {1, 0xE0, 0x1C, 0x03, 0, -3, -6},
        {2, 0xF800, 0x07E0, 0x001F, 8, 3, -3},
        {2, 0x7C00, 0x03E0, 0x001F, 7, 2, -3},
        {3, 0xFF0000, 0xFF00, 0xFF, 16, 8, 0},
        {4, 0xFF0000, 0xFF00, 0xFF, 16, 8, 0},
    };
    for (const Layout& l : layouts) {
        init_world();
        records.clear();
        build_random_world(records, 99, 2000);
        Particle& stale = add(10, 10, 6, 0xFF, 0xFF, 0xFF);
        add_particle(&stale, 20, 20, 0xFF, 0xFF, 0xFF, 6);
        use_layout(l.bytes, l.red_mask, l.green_mask, l.blue_mask, l.red_shift, l.green_shift,
                   l.blue_shift);
        for (int s = 0; s < 3; ++s) {
            surface.assign(surface.size(), FILL);
            const std::vector<uint8_t> blank = surface;
            step_sand(330, 230, 290);
            EXPECT_TRUE(surface == expected_frame(blank)) << l.bytes << " bytes, step " << s;
        }
    }
}

TEST_F(SandStep, StoresNothingOutsideTheDrawableAreaOrInAnUnknownLayout) {
    build_random_world(records, 5, 2000);
    pixel_format.width = 320;
    pixel_format.height = 240;
    const std::vector<uint8_t> blank = surface;
    step_sand(330, 230, 290);
    EXPECT_TRUE(surface == expected_frame(blank));
    for (int y = 0; y < ROWS; ++y)
        for (int x = 0; x < PITCH; ++x)
            if (x >= 320 * 4 || y >= 240) {
                ASSERT_EQ(surface[static_cast<size_t>(y) * PITCH + x], FILL) << x << ", " << y;
            }

    // The grains still move when nothing is stored, exactly as when they are drawn.
    std::vector<std::pair<int, int>> drawn, undrawn;
    for (int32_t bytes : {4, 0, 5}) {
        init_world();
        records.clear();
        build_random_world(records, 5, 2000);
        surface.assign(surface.size(), FILL);
        pixel_format.bytes_per_pixel = bytes;
        step_sand(330, 230, 290);
        std::vector<std::pair<int, int>>& places = bytes == 4 ? drawn : undrawn;
        places.clear();
        for (int32_t i = 0; i < world.pool.count; ++i)
            places.emplace_back(world.pool.entries[i]->x, world.pool.entries[i]->y);
        if (bytes != 4) {
            EXPECT_EQ(drawn, undrawn) << bytes << " bytes per pixel";
            EXPECT_EQ(stored_pixels(), 0) << bytes << " bytes per pixel";
        }
    }
}

}  // namespace
