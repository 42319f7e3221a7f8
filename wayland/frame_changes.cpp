// Areas of change between frames.
#include "frame_changes.h"

#include <cstring>

FrameArea changed_area(const uint8_t* now, const uint8_t* before, int32_t pitch) {
    FrameArea area = {0, 0, 0, 0};
    int32_t left = FRAME_WIDTH;
    int32_t right = -1;
    int32_t top = -1;
    int32_t bottom = -1;
    for (int32_t y = 0; y < FRAME_HEIGHT; ++y) {
        const uint8_t* a = now + static_cast<intptr_t>(y) * pitch;
        const uint8_t* b = before + static_cast<intptr_t>(y) * pitch;
        if (std::memcmp(a, b, FRAME_WIDTH * 4) == 0) continue;
        if (top < 0) top = y;
        bottom = y;
        int32_t x = 0;
        while (std::memcmp(a + x * 4, b + x * 4, 4) == 0) ++x;
        if (x < left) left = x;
        x = FRAME_WIDTH - 1;
        while (std::memcmp(a + x * 4, b + x * 4, 4) == 0) --x;
        if (x > right) right = x;
    }
    if (top < 0) return area;
    return {left, top, right - left + 1, bottom - top + 1};
}

static bool empty(const FrameArea& area) { return area.width <= 0 || area.height <= 0; }

FrameArea unite(const FrameArea& a, const FrameArea& b) {
    if (empty(a)) return b;
    if (empty(b)) return a;
    const int32_t left = a.left < b.left ? a.left : b.left;
    const int32_t top = a.top < b.top ? a.top : b.top;
    const int32_t right = a.left + a.width > b.left + b.width ? a.left + a.width : b.left + b.width;
    const int32_t bottom =
        a.top + a.height > b.top + b.height ? a.top + a.height : b.top + b.height;
    return {left, top, right - left, bottom - top};
}

void record_change(FrameChanges& changes, uint64_t step, const FrameArea& area) {
    changes.areas[step % CHANGE_HISTORY] = area;
    changes.newest = step;
}

FrameArea changes_since(const FrameChanges& changes, uint64_t since) {
    if (since == 0 || since > changes.newest || changes.newest - since >= CHANGE_HISTORY)
        return WHOLE_FRAME;
    FrameArea area = {0, 0, 0, 0};
    for (uint64_t step = since + 1; step <= changes.newest; ++step)
        area = unite(area, changes.areas[step % CHANGE_HISTORY]);
    return area;
}
