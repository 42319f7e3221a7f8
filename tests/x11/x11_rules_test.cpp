// The X11 program's rules that need no X server: its command line and the daemon's window,
// which visuals it serves and how, and where the frame goes in a window of any size.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "fixed_palette.h"
#include "options.h"
#include "placement.h"
#include "visual_layout.h"

// --- command line ------------------------------------------------------------------------------

struct OptionCase {
    std::vector<const char*> args;
    ParseResult result;
    WindowChoice choice;
    unsigned long window_id;
    int64_t delay_us;
    bool fps;
};

static ParseResult parse(std::vector<const char*> args, SaverOptions& options) {
    args.insert(args.begin(), "sandglass");
    const char* error = nullptr;
    const char* argument = nullptr;
    const ParseResult result = parse_options(
        static_cast<int>(args.size()), const_cast<char**>(args.data()), options, error, argument);
    if (result == ParseResult::BAD) {
        EXPECT_NE(error, nullptr);
        EXPECT_NE(argument, nullptr);
    }
    return result;
}

TEST(Options, Table) {
    constexpr auto OWN = WindowChoice::OWN_WINDOW;
    constexpr auto ROOT = WindowChoice::ROOT;
    constexpr auto ID = WindowChoice::WINDOW_ID;
    constexpr auto RUN = ParseResult::RUN;
    constexpr auto BAD = ParseResult::BAD;
    const OptionCase cases[] = {
        {{}, RUN, OWN, 0, 16666, false},
        {{"-root"}, RUN, ROOT, 0, 16666, false},
        {{"--root"}, RUN, ROOT, 0, 16666, false},  // how the daemon passes it
        {{"-window-id", "0x2a00005"}, RUN, ID, 0x2a00005, 16666, false},
        {{"--window-id", "0X2A"}, RUN, ID, 42, 16666, false},
        {{"-window-id", "052"}, RUN, ID, 52, 16666, false},  // decimal, never octal
        {{"-root", "-window"}, RUN, OWN, 0, 16666, false},   // the last choice wins
        {{"-delay", "0"}, RUN, OWN, 0, 0, false},
        {{"--delay", "10000000", "--fps"}, RUN, OWN, 0, 10000000, true},
        {{"-h"}, ParseResult::HELP, OWN, 0, 16666, false},
        {{"--help"}, ParseResult::HELP, OWN, 0, 16666, false},
        {{"-bogus"}, BAD, OWN, 0, 16666, false},
        {{"root"}, BAD, OWN, 0, 16666, false},
        {{"---root"}, BAD, OWN, 0, 16666, false},
        {{"-window-id"}, BAD, OWN, 0, 16666, false},
        {{"-window-id", "0x"}, BAD, OWN, 0, 16666, false},
        {{"-window-id", "0"}, BAD, OWN, 0, 16666, false},
        {{"-window-id", "-5"}, BAD, OWN, 0, 16666, false},
        {{"-window-id", " 5"}, BAD, OWN, 0, 16666, false},
        {{"-window-id", "12abc"}, BAD, OWN, 0, 16666, false},
        {{"-window-id", "0x20000000"}, BAD, OWN, 0, 16666, false},  // wider than an X id
        {{"-delay"}, BAD, OWN, 0, 16666, false},
        {{"-delay", "-1"}, BAD, OWN, 0, 16666, false},
        {{"-delay", "+5"}, BAD, OWN, 0, 16666, false},
        {{"-delay", "1e3"}, BAD, OWN, 0, 16666, false},
        {{"-delay", "10000001"}, BAD, OWN, 0, 16666, false},
        {{"-frames", "0"}, BAD, OWN, 0, 16666, false},
        {{"-dt", "0"}, BAD, OWN, 0, 16666, false},
        {{"-dt", "nan"}, BAD, OWN, 0, 16666, false},
        {{"-dt", "0.1s"}, BAD, OWN, 0, 16666, false},
    };
    for (const OptionCase& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "(none)" : c.args[0]);
        SaverOptions options;
        ASSERT_EQ(parse(c.args, options), c.result);
        if (c.result != RUN) continue;
        EXPECT_EQ(options.choice, c.choice);
        if (c.choice == ID) {
            EXPECT_EQ(options.window_id, c.window_id);
        }
        EXPECT_EQ(options.delay_us, c.delay_us);
        EXPECT_EQ(options.fps, c.fps);
    }
}

TEST(Options, CheckingOptionsAndDisplay) {
    SaverOptions options;
    ASSERT_EQ(
        parse({"-frames", "120", "--dt", "0.016666668", "-report", "-display", ":7"}, options),
        ParseResult::RUN);
    EXPECT_EQ(options.frames, 120);
    // The renderer's default step: the float nearest a sixtieth, so frames match it exactly.
    EXPECT_EQ(options.dt, 1.0f / 60.0f);
    EXPECT_TRUE(options.report);
    EXPECT_STREQ(options.display_name, ":7");
    // Defaults come back on every parse.
    ASSERT_EQ(parse({}, options), ParseResult::RUN);
    EXPECT_EQ(options.frames, 0);
    EXPECT_EQ(options.dt, 0.0f);
    EXPECT_FALSE(options.report);
    EXPECT_EQ(options.display_name, nullptr);
}

struct SaverWindowCase {
    std::vector<const char*> args;
    const char* environment;
    WindowChoice choice;
    unsigned long window_id;
    bool bad;
};

TEST(Options, DaemonWindowWinsOverRootAndDefaultOnly) {
    constexpr auto OWN = WindowChoice::OWN_WINDOW;
    constexpr auto ID = WindowChoice::WINDOW_ID;
    const SaverWindowCase cases[] = {
        {{"-root"}, "0x400008", ID, 0x400008, false},
        {{"--root"}, "4194312", ID, 4194312, false},
        {{}, "0x400008", ID, 0x400008, false},
        {{"-window"}, "0x400008", OWN, 0, false},
        {{"-window-id", "0x5"}, "0x400008", ID, 5, false},
        {{"-root"}, "", WindowChoice::ROOT, 0, false},
        {{"-root"}, nullptr, WindowChoice::ROOT, 0, false},
        {{"-root"}, "junk", WindowChoice::ROOT, 0, true},
        {{"-root"}, "0x", WindowChoice::ROOT, 0, true},
    };
    for (const SaverWindowCase& c : cases) {
        SCOPED_TRACE(c.environment != nullptr ? c.environment : "(unset)");
        SaverOptions options;
        ASSERT_EQ(parse(c.args, options), ParseResult::RUN);
        bool bad = false;
        apply_saver_window(options, c.environment, bad);
        EXPECT_EQ(bad, c.bad);
        EXPECT_EQ(options.choice, c.choice);
        if (c.choice == ID) {
            EXPECT_EQ(options.window_id, c.window_id);
        }
    }
}

// --- visuals -----------------------------------------------------------------------------------

struct VisualCase {
    const char* name;
    VisualFacts visual;
    SurfaceLayout layout;  // bytes_per_pixel 0: refused
};

TEST(Options, SharedMemoryOnlyThroughALocalSocket) {
    const struct {
        const char* name;
        bool local;
    } cases[] = {
        {":0", true},          {":1.0", true},          {"unix:0", true},
        {"unix:12.1", true},   {"localhost:10.0", false},  // ssh -X forwards through localhost
        {"127.0.0.1:0", false}, {"host.example:0", false}, {"[::1]:0", false},
        {"unixhost:0", false}, {"", false},               {":", false},
        {"unix", false},       {nullptr, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(display_is_local(c.name), c.local) << (c.name ? c.name : "(null)");
}

TEST(VisualLayout, Table) {
    constexpr auto TRUE = VisualKind::TRUE_COLOR;
    constexpr auto PSEUDO = VisualKind::PSEUDO_COLOR;
    constexpr SurfaceLayout NONE = {0, 0, 0, 0};
    const VisualCase cases[] = {
        {"depth 24 in 32 bits",
         {TRUE, 24, 32, 0xFF0000, 0xFF00, 0xFF, 256},
         {4, 0xFF0000, 0xFF00, 0xFF}},
        {"depth 24 packed",
         {TRUE, 24, 24, 0xFF0000, 0xFF00, 0xFF, 256},
         {3, 0xFF0000, 0xFF00, 0xFF}},
        {"blue highest", {TRUE, 24, 32, 0xFF, 0xFF00, 0xFF0000, 256}, {4, 0xFF, 0xFF00, 0xFF0000}},
        {"depth 30",
         {TRUE, 30, 32, 0x3FF00000, 0xFFC00, 0x3FF, 1024},
         {4, 0x3FF00000, 0xFFC00, 0x3FF}},
        {"5-6-5", {TRUE, 16, 16, 0xF800, 0x7E0, 0x1F, 64}, {2, 0xF800, 0x7E0, 0x1F}},
        {"5-5-5", {TRUE, 15, 16, 0x7C00, 0x3E0, 0x1F, 32}, {2, 0x7C00, 0x3E0, 0x1F}},
        {"true colour 3-3-2", {TRUE, 8, 8, 0xE0, 0x1C, 0x03, 8}, {1, 0xE0, 0x1C, 0x03}},
        {"8-bit pseudo colour",
         {PSEUDO, 8, 8, 0, 0, 0, 256},
         {1, PALETTE_RED_MASK, PALETTE_GREEN_MASK, PALETTE_BLUE_MASK}},
        {"4-bit pseudo colour", {PSEUDO, 4, 8, 0, 0, 0, 16}, NONE},
        {"pseudo colour, small map", {PSEUDO, 8, 8, 0, 0, 0, 128}, NONE},
        {"12-bit pseudo colour", {PSEUDO, 12, 16, 0, 0, 0, 4096}, NONE},
        {"direct colour", {VisualKind::OTHER, 24, 32, 0xFF0000, 0xFF00, 0xFF, 256}, NONE},
        {"4 bits a pixel", {TRUE, 4, 4, 0x8, 0x6, 0x1, 2}, NONE},
        {"no green", {TRUE, 24, 32, 0xFF0000, 0, 0xFF, 256}, NONE},
        {"shared bits", {TRUE, 24, 32, 0xFF0000, 0x1FF00, 0xFF, 256}, NONE},
        {"mask beyond the pixel", {TRUE, 16, 16, 0xFF0000, 0xFF00, 0xFF, 256}, NONE},
    };
    for (const VisualCase& c : cases) {
        SCOPED_TRACE(c.name);
        const SurfaceLayout layout = layout_for_visual(c.visual);
        EXPECT_EQ(layout.bytes_per_pixel, c.layout.bytes_per_pixel);
        EXPECT_EQ(layout.red_mask, c.layout.red_mask);
        EXPECT_EQ(layout.green_mask, c.layout.green_mask);
        EXPECT_EQ(layout.blue_mask, c.layout.blue_mask);
    }
}

// --- placement and scaling --------------------------------------------------------------------

struct PlacementCase {
    int window_width, window_height;
    Placement placement;
};

TEST(Placement, Table) {
    const PlacementCase cases[] = {
        {640, 480, {0, 0, 640, 480, false}},
        {1024, 768, {192, 144, 640, 480, false}},
        {641, 481, {0, 0, 640, 480, false}},
        {320, 240, {0, 0, 320, 240, true}},
        {400, 200, {67, 0, 266, 200, true}},   // height-bound: black left and right
        {200, 400, {0, 125, 200, 150, true}},  // width-bound: black above and below
        {639, 480, {0, 0, 639, 479, true}},
        {2000, 479, {681, 0, 638, 479, true}},
        {1, 1, {0, 0, 1, 1, true}},
        {0, 0, {0, 0, 1, 1, true}},
    };
    for (const PlacementCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.window_width << "x" << c.window_height);
        const Placement p = place_frame(c.window_width, c.window_height);
        EXPECT_EQ(p.x, c.placement.x);
        EXPECT_EQ(p.y, c.placement.y);
        EXPECT_EQ(p.width, c.placement.width);
        EXPECT_EQ(p.height, c.placement.height);
        EXPECT_EQ(p.scaled, c.placement.scaled);
    }
}

// Over many window sizes: the frame fits, is as large as fits with its 4:3 shape, is centred,
// and is scaled exactly when the window is smaller than it.
TEST(Placement, FitsKeepsShapeAndCentresForAnySize) {
    std::mt19937 random(8);
    std::uniform_int_distribution<int> size(1, 2400);
    for (int i = 0; i < 20000; ++i) {
        const int w = size(random), h = size(random);
        const Placement p = place_frame(w, h);
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        ASSERT_EQ(p.scaled, w < 640 || h < 480);
        ASSERT_LE(p.x + p.width, w);
        ASSERT_LE(p.y + p.height, h);
        ASSERT_LE(std::abs((w - p.width - p.x) - p.x), 1);
        ASSERT_LE(std::abs((h - p.height - p.y) - p.y), 1);
        if (!p.scaled) continue;
        // One side fills the window, and the other is the shape's share of it, rounded down.
        if (p.width == w)
            ASSERT_EQ(p.height, std::max(1, w * 3 / 4));
        else
            ASSERT_TRUE(p.height == h && p.width == std::max(1, h * 4 / 3));
    }
}

// Each target pixel comes from the source pixel under its centre; every byte of it is copied.
TEST(ScaleFrame, NearestPixelUnderEachCentre) {
    static uint8_t source[480][640][4];
    static uint8_t target[480][640][4];
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            source[y][x][0] = static_cast<uint8_t>(x);
            source[y][x][1] = static_cast<uint8_t>(x >> 8);
            source[y][x][2] = static_cast<uint8_t>(y);
            source[y][x][3] = static_cast<uint8_t>(y >> 8);
        }
    // Pixel centres: 2 * source * size <= (2 * target + 1) * frame < 2 * (source + 1) * size.
    auto under_centre = [](int from, int to, int size, int frame) {
        return 2 * from * size <= (2 * to + 1) * frame &&
               (2 * to + 1) * frame < 2 * (from + 1) * size;
    };
    const int sizes[][2] = {{320, 240}, {266, 200}, {200, 150}, {639, 479}, {1, 1}, {97, 72}};
    for (const auto& size : sizes) {
        const Placement p = {0, 0, size[0], size[1], true};
        SCOPED_TRACE(testing::Message() << p.width << "x" << p.height);
        scale_frame(&source[0][0][0], 640 * 4, 4, p, &target[0][0][0], 640 * 4);
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                const int sx = target[y][x][0] | target[y][x][1] << 8;
                const int sy = target[y][x][2] | target[y][x][3] << 8;
                ASSERT_TRUE(under_centre(sx, x, p.width, 640)) << x << "," << y << " from " << sx;
                ASSERT_TRUE(under_centre(sy, y, p.height, 480)) << x << "," << y << " from " << sy;
            }
    }
}
