// The frame and the error line on desktops of one or more monitors, including layouts that no X
// server of the tests can make: monitors left of and above the primary (negative screen
// coordinates), and a primary that is neither the leftmost nor the topmost.
#include <gtest/gtest.h>

#include <algorithm>

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
            frame_on_primary(c.primary.right, c.primary.bottom, left, top);
        EXPECT_EQ(c.frame.left, placed.frame.left);
        EXPECT_EQ(c.frame.top, placed.frame.top);
        EXPECT_EQ(c.frame.right, placed.frame.right);
        EXPECT_EQ(c.frame.bottom, placed.frame.bottom);
        EXPECT_EQ(c.text_x, placed.text_x);
        EXPECT_EQ(c.text_y, placed.text_y);
        // On the screen, the line starts on the primary, under the frame's middle.
        const int32_t screen_x = placed.text_x + left, screen_y = placed.text_y + top;
        EXPECT_EQ((placed.frame.left + placed.frame.right) / 2 - 80, screen_x);
        EXPECT_EQ((placed.frame.top + placed.frame.bottom) / 2, screen_y);
    }
}

}  // namespace
