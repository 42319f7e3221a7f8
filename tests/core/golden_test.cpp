// Golden frames of the whole animation, run through the renderer's headless loop in every
// layout, natively and under Wine alike: the summary lines must match to the last bit. The
// same runs watch the sand: every grain moves at most one cell per frame beyond the world's
// shift, except for the return rule's jumps from beside a trigger cell to the return cell on
// the same side; the sand reaches the lower bulb and some of it is carried back up.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "animation.h"
#include "frame_clock.h"
#include "golden_frames.h"
#include "headless.h"
#include "sand_step.h"
#include "scene.h"
#include "world.h"
#include "world_checks.h"

// Names a run by its layout in test output rather than by its bytes.
void PrintTo(const GoldenRun& run, std::ostream* out) { *out << run.bits_per_pixel << " bpp"; }

namespace {

TEST(Fnv1a, KnownVectors) {
    const uint8_t* text = reinterpret_cast<const uint8_t*>("foobar");
    EXPECT_EQ(fnv1a64(text, 0), 0xcbf29ce484222325ull);
    EXPECT_EQ(fnv1a64(text + 4, 1), 0xaf63dc4c8601ec8cull);  // "a"
    EXPECT_EQ(fnv1a64(text, 6), 0x85944171f73967e8ull);
}

TEST(Headless, DefaultDtIsTheSixtiethOfTheDesktopClock) {
    EXPECT_EQ(HEADLESS_DEFAULT_DT, 0.016666668f);
    EXPECT_EQ(static_cast<double>(HEADLESS_DEFAULT_DT), 0.01666666753590107);
}

// Follows every sand grain from frame to frame.
class SandWatch {
public:
    explicit SandWatch(int first_sand) : first_(first_sand) { remember(); }

    // Call after each frame; fails on a move that neither a step nor the return rule allows.
    ::testing::AssertionResult observe() {
        int dx = scene.origin_x - origin_x_, dy = scene.origin_y - origin_y_;
        int ox = scene.origin_x, return_y = scene.origin_y + RETURN_LANDING_DY,
            trigger_y = scene.origin_y + RETURN_TRIGGER_DY;
        for (int32_t i = first_; i < world.pool.count; ++i) {
            const Particle* g = world.pool.entries[i];
            int bx = wrap(x_[i] + dx, WORLD_WIDTH), by = wrap(y_[i] + dy, WORLD_HEIGHT);
            int mx = near_offset(g->x - bx, WORLD_WIDTH), my = near_offset(g->y - by, WORLD_HEIGHT);
            if (std::abs(mx) <= 1 && std::abs(my) <= 1) continue;
            // A jump: only from a neighbour of a trigger cell to the return cell on its side.
            bool left = g->x == ox - RETURN_LANDING_DX && g->y == return_y &&
                        std::abs(bx - (ox - RETURN_TRIGGER_DX)) <= 1 &&
                        std::abs(by - trigger_y) <= 1;
            bool right = g->x == ox + RETURN_LANDING_DX && g->y == return_y &&
                         std::abs(bx - (ox + RETURN_TRIGGER_DX)) <= 1 &&
                         std::abs(by - trigger_y) <= 1;
            if (!left && !right)
                return ::testing::AssertionFailure()
                       << "grain " << i << " went from (" << bx << ", " << by << ") to (" << g->x
                       << ", " << g->y << ") with the origin at (" << ox << ", "
                       << scene.origin_y << ")";
            ++returns_;
        }
        remember();
        return ::testing::AssertionSuccess();
    }

    int returns() const { return returns_; }

    // Sand grains in the lower bulb: below the neck, within the glass's columns.
    int in_lower_bulb() const {
        int n = 0;
        for (int32_t i = first_; i < world.pool.count; ++i) {
            const Particle* g = world.pool.entries[i];
            int px = g->x - scene.picture_x, py = g->y - scene.picture_y;
            n += px >= 36 && px <= 97 && py >= 127 && py <= 204;
        }
        return n;
    }

private:
    static int wrap(int v, int size) { return ((v % size) + size) % size; }
    static int near_offset(int d, int size) {
        if (d > size / 2) return d - size;
        if (d < -size / 2) return d + size;
        return d;
    }
    void remember() {
        origin_x_ = scene.origin_x;
        origin_y_ = scene.origin_y;
        x_.resize(world.pool.count);
        y_.resize(world.pool.count);
        for (int32_t i = 0; i < world.pool.count; ++i) {
            x_[i] = world.pool.entries[i]->x;
            y_[i] = world.pool.entries[i]->y;
        }
    }

    int first_;
    int origin_x_ = 0, origin_y_ = 0;
    int returns_ = 0;
    std::vector<int> x_, y_;
};

std::string summary(const HeadlessRun* run) {
    char text[256];
    headless_summary(run, text, sizeof text);
    return text;
}

class GoldenFrames : public ::testing::TestWithParam<GoldenRun> {};

TEST_P(GoldenFrames, SummaryLinesAndTheSandCycles) {
    const GoldenRun& golden = GetParam();
    HeadlessRun* run = headless_start(golden.bits_per_pixel);
    ASSERT_NE(run, nullptr);
    SandWatch watch(694);
    int lower_at_1000 = 0;
    for (int frame = 1; frame <= 3000; ++frame) {
        headless_frame(run, HEADLESS_DEFAULT_DT);
        ASSERT_TRUE(watch.observe()) << "frame " << frame;
        if (frame == 1) {
            EXPECT_EQ(summary(run), golden.frame_1);
        }
        if (frame == 60) {
            EXPECT_EQ(summary(run), golden.frame_60);
        }
        if (frame == 1000) lower_at_1000 = watch.in_lower_bulb();
        if (frame % 500 == 0) {
            ASSERT_TRUE(world_is_consistent(world)) << "frame " << frame;
        }
    }
    EXPECT_EQ(summary(run), golden.frame_3000);
    // The lower bulb holds some 1,100 grains below the trigger row: once the heap reaches it,
    // the return rule carries the surplus back up (861 landings in this run).
    EXPECT_GT(lower_at_1000, 300);
    EXPECT_GT(watch.in_lower_bulb(), 1000);
    EXPECT_GT(watch.returns(), 100);
    EXPECT_TRUE(world_is_consistent(world));
}

// The front-ends' clocked frames, from a start tick just before the counter wraps, are the
// renderer's stepped frames of the same dt: the clock is advanced before each frame is drawn,
// and into the surface given.
TEST(ClockedFrames, SameAsSteppedFramesOfTheirDt) {
    const uint32_t start = 0xFFFFFF00u;
    const uint32_t steps_ms[] = {1, 16, 17, 16, 50, 0, 33, 17, 250, 16};
    std::vector<float> dts;
    std::vector<uint8_t> clocked(FRAME_WIDTH * FRAME_HEIGHT * 4);
    start_animation(layout_for_depth(32), start);
    uint32_t tick = start;
    double orbit = 0.0;
    for (uint32_t ms : steps_ms) {
        tick += ms;
        clear_frame(clocked.data(), FRAME_WIDTH * 4);
        run_animation_frame(clocked.data(), FRAME_WIDTH * 4, tick);
        dts.push_back(frame_clock.dt);
        orbit += ORBIT_DEGREES_PER_SECOND * static_cast<double>(frame_clock.dt);
    }
    EXPECT_EQ(scene.orbit_angle, orbit);
    EXPECT_NEAR(orbit, 2.0 * (tick - start) / 1000.0, 1e-6);

    HeadlessRun* run = headless_start(32);
    for (float dt : dts) headless_frame(run, dt);
    EXPECT_EQ(scene.orbit_angle, orbit);
    EXPECT_TRUE(std::memcmp(run->surface, clocked.data(), clocked.size()) == 0);
}

INSTANTIATE_TEST_SUITE_P(Layouts, GoldenFrames, ::testing::ValuesIn(GOLDEN_RUNS),
                         [](const ::testing::TestParamInfo<GoldenRun>& param) {
                             return "bpp" + std::to_string(param.param.bits_per_pixel);
                         });

}  // namespace
