// The frame and the error line on desktops of one or more monitors, including layouts that no X
// server of the tests can make: monitors left of and above the primary (negative screen
// coordinates), and a primary that is neither the leftmost nor the topmost; the frame's factor
// from the setting and the desktop's DPI.
#include <gtest/gtest.h>

#include <algorithm>

#include "frame_fit.h"
#include "frame_placement.h"

namespace {

struct Monitor {
    int32_t left, top, right, bottom;  // screen coordinates; the primary is at (0, 0)
};

TEST(FramePlacement, FrameOnThePrimaryAndTheLineInTheVirtualScreensWindow) {
    const struct {
        const char* layout;
        Monitor primary;
        Monitor others[2];
        int others_count;
        PlacedRect frame;
        int32_t text_x, text_y;
        int32_t request = 1;  // the frame's own pixels unless a case asks for more
        int32_t factor = 1;
    } cases[] = {
        // One monitor: the window is the monitor.
        {"1024x768 alone", {0, 0, 1024, 768}, {}, 0, {192, 144, 832, 624}, 432, 384},
        {"800x600 alone", {0, 0, 800, 600}, {}, 0, {80, 60, 720, 540}, 320, 300},
        {"640x480 alone", {0, 0, 640, 480}, {}, 0, {0, 0, 640, 480}, 240, 240},
        {"1023x767 alone", {0, 0, 1023, 767}, {}, 0, {191, 143, 831, 623}, 431, 383},
        // A second monitor right of or below the primary moves nothing.
        {"800x600 to the right", {0, 0, 1024, 768}, {{1024, 0, 1824, 600}}, 1,
         {192, 144, 832, 624}, 432, 384},
        {"smaller primary", {0, 0, 800, 600}, {{800, 0, 1824, 768}}, 1,
         {80, 60, 720, 540}, 320, 300},
        {"below", {0, 0, 1920, 1080}, {{0, 1080, 1280, 2104}}, 1, {640, 300, 1280, 780}, 880, 540},
        // Left of or above it, the window's origin is negative: the line moves with it.
        {"1920x1080 to the left", {0, 0, 1024, 768}, {{-1920, 0, 0, 1080}}, 1,
         {192, 144, 832, 624}, 2352, 384},
        {"above", {0, 0, 1024, 768}, {{0, -1024, 1280, 0}}, 1, {192, 144, 832, 624}, 432, 1408},
        {"left, lower, and above", {0, 0, 2560, 1440}, {{-1920, 360, 0, 1440}, {0, -1200, 1600, 0}},
         2, {960, 480, 1600, 960}, 3120, 1920},
        {"primary in the middle", {0, 0, 1280, 1024},
         {{-1280, -300, 0, 724}, {1280, 200, 2560, 1224}}, 2, {320, 272, 960, 752}, 1840, 812},
        // Enlarged: the frame grows round the primary's middle; the line stays where it was.
        {"1920x1080 at 2", {0, 0, 1920, 1080}, {}, 0, {320, 60, 1600, 1020}, 880, 540, 2, 2},
        {"1920x1080 filled", {0, 0, 1920, 1080}, {}, 0, {320, 60, 1600, 1020}, 880, 540, 0, 2},
        {"3840x2160 at 3, left of it 1920x1080", {0, 0, 3840, 2160}, {{-1920, 0, 0, 1080}}, 1,
         {960, 360, 2880, 1800}, 3760, 1080, 3, 3},
        {"3840x2160 filled", {0, 0, 3840, 2160}, {}, 0, {640, 120, 3200, 2040}, 1840, 1080, 0, 4},
        {"1024x768 at 2: 1 is all that fits", {0, 0, 1024, 768}, {}, 0, {192, 144, 832, 624}, 432,
         384, 2, 1},
        // A primary smaller than the frame shows all of it, reduced.
        {"512x384 alone", {0, 0, 512, 384}, {}, 0, {0, 0, 512, 384}, 176, 192, 2, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layout);
        // The window covers the virtual screen: the box round every monitor.
        int32_t left = c.primary.left, top = c.primary.top;
        for (int i = 0; i < c.others_count; ++i) {
            left = std::min(left, c.others[i].left);
            top = std::min(top, c.others[i].top);
        }
        const FramePlacement placed =
            frame_on_primary(c.primary.right, c.primary.bottom, left, top, c.request);
        EXPECT_EQ(c.frame.left, placed.frame.left);
        EXPECT_EQ(c.frame.top, placed.frame.top);
        EXPECT_EQ(c.frame.right, placed.frame.right);
        EXPECT_EQ(c.frame.bottom, placed.frame.bottom);
        EXPECT_EQ(c.factor, placed.factor);
        EXPECT_EQ(c.text_x, placed.text_x);
        EXPECT_EQ(c.text_y, placed.text_y);
        // On the screen, the line starts on the primary, under the frame's middle.
        const int32_t screen_x = placed.text_x + left, screen_y = placed.text_y + top;
        EXPECT_EQ((placed.frame.left + placed.frame.right) / 2 - 80, screen_x);
        EXPECT_EQ((placed.frame.top + placed.frame.bottom) / 2, screen_y);
    }
}

// The whole part of dpi / 96: 144 DPI (150 %) must not round up to 2, and a DPI below 96 must not
// give a factor of 0, which would read as a request to fill the screen.
TEST(FramePlacement, ScaleRequestFromTheSettingAndTheDesktopsDpi) {
    const struct {
        uint32_t frame_size;
        int32_t dpi;
        int32_t request;
    } cases[] = {
        {0, 96, 1},  {0, 120, 1}, {0, 144, 1}, {0, 191, 1}, {0, 192, 2}, {0, 240, 2},
        {0, 288, 3}, {0, 384, 4}, {0, 72, 1},  {0, 0, 1},   {0, -96, 1}, {0, 96 * 40, 16},
        // Fill whatever the DPI; any value but 1 follows the DPI.
        {1, 96, FRAME_FILL}, {1, 288, FRAME_FILL}, {2, 192, 2},
        {0xFFFFFFFF, 96, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "FrameSize " << c.frame_size << ", " << c.dpi << " DPI");
        EXPECT_EQ(c.request, frame_scale_request(c.frame_size, c.dpi));
    }
}

}  // namespace
