// The Wayland program's rules that need no compositor: its command line and which input ends
// it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ending.h"
#include "frame_changes.h"
#include "frame_fit.h"
#include "options.h"

struct OptionCase {
    std::vector<const char*> args;
    ParseResult result;
    bool window;
    int32_t scale_request;
    int64_t frames;
    float dt;
};

// Catches: a number rule looser than whole-or-decimal (signs, spaces, exponents, hex, nan),
// ranges off by one, an option that swallows a missing value, defaults not reset.
TEST(Options, Table) {
    constexpr auto RUN = ParseResult::RUN;
    constexpr auto BAD = ParseResult::BAD;
    constexpr int32_t FILL = FRAME_FILL;
    const OptionCase cases[] = {
        {{}, RUN, false, FILL, 0, 0.0f},
        {{"--window"}, RUN, true, FILL, 0, 0.0f},
        {{"-window", "-scale", "1"}, RUN, true, 1, 0, 0.0f},
        {{"--scale", "16"}, RUN, false, 16, 0, 0.0f},
        {{"-frames", "120", "--dt", "0.016666668"}, RUN, false, FILL, 120, 1.0f / 60.0f},
        {{"-dt", "10"}, RUN, false, FILL, 0, 10.0f},
        {{"-dt", ".5"}, RUN, false, FILL, 0, 0.5f},
        {{"-frames", "10000000"}, RUN, false, FILL, 10000000, 0.0f},
        {{"-h"}, ParseResult::HELP, false, FILL, 0, 0.0f},
        {{"--help", "-bogus"}, ParseResult::HELP, false, FILL, 0, 0.0f},
        {{"-bogus"}, BAD, false, FILL, 0, 0.0f},
        {{"window"}, BAD, false, FILL, 0, 0.0f},
        {{"---window"}, BAD, false, FILL, 0, 0.0f},
        {{"--scale"}, BAD, false, FILL, 0, 0.0f},
        {{"--scale", "0"}, BAD, false, FILL, 0, 0.0f},
        {{"--scale", "17"}, BAD, false, FILL, 0, 0.0f},
        {{"--scale", "+2"}, BAD, false, FILL, 0, 0.0f},
        {{"--scale", " 2"}, BAD, false, FILL, 0, 0.0f},
        {{"--scale", "2.0"}, BAD, false, FILL, 0, 0.0f},
        {{"--scale", "0x2"}, BAD, false, FILL, 0, 0.0f},
        {{"--scale", "99999999999999999999"}, BAD, false, FILL, 0, 0.0f},
        {{"-frames", "0"}, BAD, false, FILL, 0, 0.0f},
        {{"-frames", "10000001"}, BAD, false, FILL, 0, 0.0f},
        {{"-frames", "1e3"}, BAD, false, FILL, 0, 0.0f},
        {{"-dt", "0"}, BAD, false, FILL, 0, 0.0f},
        {{"-dt", "10.001"}, BAD, false, FILL, 0, 0.0f},
        {{"-dt", "nan"}, BAD, false, FILL, 0, 0.0f},
        {{"-dt", "inf"}, BAD, false, FILL, 0, 0.0f},
        {{"-dt", "1e-2"}, RUN, false, FILL, 0, 0.01f},  // the renderer's number rule
        {{"-dt", "0x1p-4"}, BAD, false, FILL, 0, 0.0f},
        {{"-dt", "-0.5"}, BAD, false, FILL, 0, 0.0f},
        {{"-dt", "."}, BAD, false, FILL, 0, 0.0f},
        {{"-dt", "1.2.3"}, BAD, false, FILL, 0, 0.0f},
        {{"-dt", ""}, BAD, false, FILL, 0, 0.0f},
        {{"-dt"}, BAD, false, FILL, 0, 0.0f},
    };
    for (const OptionCase& c : cases) {
        std::vector<const char*> args = c.args;
        args.insert(args.begin(), "sandglass-wayland");
        SCOPED_TRACE(args.size() > 1 ? std::string(args[1]) + " " + (args.size() > 2 ? args[2] : "")
                                     : "(none)");
        WaylandOptions options;
        options = {true, 5, 7, 3.0f, true};  // stale values must not survive
        const char* error = nullptr;
        const char* argument = nullptr;
        ASSERT_EQ(parse_options(static_cast<int>(args.size()), const_cast<char**>(args.data()),
                                options, error, argument),
                  c.result);
        if (c.result == BAD) {
            EXPECT_NE(error, nullptr);
            EXPECT_NE(argument, nullptr);
            continue;
        }
        if (c.result != RUN) continue;
        EXPECT_EQ(options.window, c.window);
        EXPECT_EQ(options.scale_request, c.scale_request);
        EXPECT_EQ(options.frames, c.frames);
        EXPECT_EQ(options.dt, c.dt);
        EXPECT_FALSE(options.report);
    }
}

struct PressCase {
    bool own_window;
    InputKind kind;
    uint32_t key;
    bool ends;
};

// Catches: a saver that survives a key, button or touch; a window that closes on any key.
TEST(Ending, PressTable) {
    constexpr auto KEY = InputKind::KEY;
    const PressCase cases[] = {
        {false, KEY, 30, true},  // any key, 'a'
        {false, KEY, KEY_CODE_Q, true},
        {false, InputKind::BUTTON, 0, true},
        {false, InputKind::TOUCH, 0, true},
        {true, KEY, KEY_CODE_Q, true},
        {true, KEY, KEY_CODE_ESCAPE, true},
        {true, KEY, 30, false},
        {true, KEY, 57, false},  // space
        {true, InputKind::BUTTON, 0, false},
        {true, InputKind::TOUCH, 0, false},
    };
    for (const PressCase& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.own_window << " " << static_cast<int>(c.kind) << " " << c.key);
        EXPECT_EQ(press_ends(c.own_window, c.kind, c.key), c.ends);
    }
}

struct PointerCase {
    bool own_window;
    double x;  // the second position; the first is (100, 100)
    double y;
    bool ends;
};

// Catches: the first position taken as a movement, a threshold off by one, a per-axis or
// Euclidean distance instead of x plus y, a window that ends on movement.
TEST(Ending, PointerTable) {
    const PointerCase cases[] = {
        {false, 100, 100, false},  {false, 104, 100, false}, {false, 105, 100, true},
        {false, 96, 100, false},   {false, 95, 100, true},   {false, 100, 104, false},
        {false, 100, 95, true},    {false, 102, 102, false}, {false, 103, 102, true},
        {false, 104.5, 100, true}, {false, 97, 99, false},   {true, 500, 500, false},
    };
    for (const PointerCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.own_window << " " << c.x << "," << c.y);
        PointerWatch watch = {};
        EXPECT_FALSE(pointer_ends(watch, c.own_window, 100, 100));
        EXPECT_EQ(pointer_ends(watch, c.own_window, c.x, c.y), c.ends);
    }
}

struct SinceCase {
    uint64_t since;
    FrameArea expected;
};

// Catches: a buffer or surface brought up to date with less than everything that changed since
// the frame it holds (a stale patch left on screen): steps skipped in the union, a history
// overrun read as recent, nothing shown yet read as nothing changed.
TEST(FrameChanges, SinceTable) {
    FrameChanges changes = {};
    // Steps 1..12: step n changed one pixel at (n, 2n); step 11 changed nothing.
    for (int32_t n = 1; n <= 12; ++n)
        record_change(changes, static_cast<uint64_t>(n),
                      n == 11 ? FrameArea{0, 0, 0, 0} : FrameArea{n, 2 * n, 1, 1});
    const SinceCase cases[] = {
        {12, {0, 0, 0, 0}},    // up to date
        {11, {12, 24, 1, 1}},  // one step behind
        {10, {12, 24, 1, 1}},  // an empty step adds nothing
        {9, {10, 20, 3, 5}},   // steps 10 and 12
        {5, {6, 12, 7, 13}},   // steps 6..12: the history's oldest entry
        {4, WHOLE_FRAME},      // step 5 has left the history
        {0, WHOLE_FRAME},      // shows nothing yet
        {13, WHOLE_FRAME},     // a step not taken: never trusted
    };
    for (const SinceCase& c : cases) {
        SCOPED_TRACE(c.since);
        const FrameArea area = changes_since(changes, c.since);
        EXPECT_EQ(area.left, c.expected.left);
        EXPECT_EQ(area.top, c.expected.top);
        EXPECT_EQ(area.width, c.expected.width);
        EXPECT_EQ(area.height, c.expected.height);
    }
}

struct ChangedCase {
    int32_t x;  // pixels changed, -1 none
    int32_t y;
    int32_t x2;
    int32_t y2;
    FrameArea expected;
};

// Catches: a changed pixel at an edge of the frame (first or last row or column, or a
// different byte of the pixel) missed by the comparison.
TEST(FrameChanges, ChangedAreaTable) {
    static uint8_t before[FRAME_WIDTH * 4 * FRAME_HEIGHT];
    static uint8_t now[FRAME_WIDTH * 4 * FRAME_HEIGHT];
    const ChangedCase cases[] = {
        {-1, 0, -1, 0, {0, 0, 0, 0}},        {0, 0, -1, 0, {0, 0, 1, 1}},
        {639, 479, -1, 0, {639, 479, 1, 1}}, {5, 400, 600, 7, {5, 7, 596, 394}},
        {639, 0, 0, 479, {0, 0, 640, 480}},
    };
    for (const ChangedCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y << " " << c.x2 << "," << c.y2);
        std::memcpy(now, before, sizeof now);
        if (c.x >= 0) now[(c.y * FRAME_WIDTH + c.x) * 4 + 3] ^= 1;  // the pixel's last byte
        if (c.x2 >= 0) now[(c.y2 * FRAME_WIDTH + c.x2) * 4] ^= 0x80;
        const FrameArea area = changed_area(now, before, FRAME_WIDTH * 4);
        EXPECT_EQ(area.left, c.expected.left);
        EXPECT_EQ(area.top, c.expected.top);
        EXPECT_EQ(area.width, c.expected.width);
        EXPECT_EQ(area.height, c.expected.height);
    }
}
