// The X11 program's rules that need no X server: its command line and the daemon's window,
// and which visuals it serves and how.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "fixed_palette.h"
#include "frame_scaling.h"
#include "options.h"
#include "visual_layout.h"

// --- command line ------------------------------------------------------------------------------

struct OptionCase {
    std::vector<const char*> args;
    ParseResult result;
    WindowChoice choice;
    unsigned long window_id;
    int64_t delay_us;
    bool fps;
    int32_t scale = FRAME_FILL;
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
        {{"-scale", "1"}, RUN, OWN, 0, 16666, false, 1},  // today's look
        {{"--scale", "16", "-root"}, RUN, ROOT, 0, 16666, false, 16},
        {{"-scale", "2", "-scale", "3"}, RUN, OWN, 0, 16666, false, 3},
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
        {{"-scale"}, BAD, OWN, 0, 16666, false},
        {{"-scale", "0"}, BAD, OWN, 0, 16666, false},  // fill is the default, not a number
        {{"-scale", "17"}, BAD, OWN, 0, 16666, false},
        {{"-scale", "2x"}, BAD, OWN, 0, 16666, false},
        {{"-scale", "fill"}, BAD, OWN, 0, 16666, false},
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
        EXPECT_EQ(options.scale, c.scale);
    }
}

// Catches a program-enlarged frame larger than the buffer it is enlarged into, and a server
// that scales held to the program's bound.
TEST(FrameScaling, TheProgramEnlargesAtMostItsBufferTheServerAsAsked) {
    const struct {
        int32_t asked;
        bool server_scales;
        int32_t request;
    } cases[] = {
        {FRAME_FILL, true, FRAME_FILL}, {16, true, 16}, {3, true, 3},
        {FRAME_FILL, false, 4},         {16, false, 4}, {5, false, 4},
        {4, false, 4},                  {2, false, 2},  {1, false, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(window_scale_request(c.asked, c.server_scales), c.request)
            << c.asked << (c.server_scales ? " by the server" : " by the program");
}

// Catches a step that drifts: for every factor, each window column (and so each row, fewer)
// samples the frame pixel it lies in, by the nearest filter's arithmetic of the X server's
// pixman: the first sample at the column's centre through the transform, rounded, then the
// step added per column, less one unit, down to a whole pixel.
TEST(FrameScaling, ServerStepSamplesEveryColumnsOwnFramePixel) {
    for (int32_t k = 1; k <= FRAME_MAX_FACTOR; ++k) {
        const int64_t step = server_scale_step(k);
        const int64_t first = (step * 32768 + 32768) >> 16;
        for (int32_t x = 0; x < FRAME_WIDTH * k; ++x)
            ASSERT_EQ((first + step * x - 1) >> 16, x / k) << "factor " << k << ", column " << x;
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
