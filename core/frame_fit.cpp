// Placing the frame in a drawable, and scaling it up by whole factors or down to fit.
#include "frame_fit.h"

#include <cstring>

FrameFit fit_frame(int32_t drawable_width, int32_t drawable_height, int32_t scale_request) {
    if (drawable_width < 1) drawable_width = 1;
    if (drawable_height < 1) drawable_height = 1;
    FrameFit fit = {0, 0, FRAME_WIDTH, FRAME_HEIGHT, 1, false};
    if (drawable_width < FRAME_WIDTH || drawable_height < FRAME_HEIGHT) {
        fit.reduced = true;
        // The width bounds it where the drawable is no wider than 4:3 (w / 640 <= h / 480,
        // compared in integers), the height otherwise; at least one pixel either way.
        if (static_cast<int64_t>(drawable_width) * FRAME_HEIGHT <=
            static_cast<int64_t>(drawable_height) * FRAME_WIDTH) {
            fit.width = drawable_width;
            fit.height = static_cast<int32_t>(static_cast<int64_t>(drawable_width) *
                                              FRAME_HEIGHT / FRAME_WIDTH);
        } else {
            fit.height = drawable_height;
            fit.width = static_cast<int32_t>(static_cast<int64_t>(drawable_height) *
                                             FRAME_WIDTH / FRAME_HEIGHT);
        }
        if (fit.width < 1) fit.width = 1;
        if (fit.height < 1) fit.height = 1;
    } else {
        int32_t most = drawable_width / FRAME_WIDTH;
        if (drawable_height / FRAME_HEIGHT < most) most = drawable_height / FRAME_HEIGHT;
        int32_t asked = scale_request;
        if (asked == FRAME_FILL || asked > FRAME_MAX_FACTOR) asked = FRAME_MAX_FACTOR;
        if (asked < FRAME_ACTUAL) asked = FRAME_ACTUAL;
        fit.factor = asked < most ? asked : most;
        fit.width = fit.factor * FRAME_WIDTH;
        fit.height = fit.factor * FRAME_HEIGHT;
    }
    fit.left = (drawable_width - fit.width) / 2;
    fit.top = (drawable_height - fit.height) / 2;
    return fit;
}

// The pixel size fixed at compile time, so that each copy is one move rather than a call.
template <int32_t BYTES>
static void repeat_pixels(const uint8_t* source, int32_t count, int32_t factor, uint8_t* target) {
    for (int32_t x = 0; x < count; ++x, source += BYTES)
        for (int32_t i = 0; i < factor; ++i, target += BYTES) std::memcpy(target, source, BYTES);
}

static void enlarge_pixels(const uint8_t* source, int32_t count, int32_t bytes_per_pixel,
                           int32_t factor, uint8_t* target) {
    switch (bytes_per_pixel) {
    case 1: repeat_pixels<1>(source, count, factor, target); break;
    case 2: repeat_pixels<2>(source, count, factor, target); break;
    case 3: repeat_pixels<3>(source, count, factor, target); break;
    default: repeat_pixels<4>(source, count, factor, target); break;
    }
}

void enlarge_row(const uint8_t* source, int32_t bytes_per_pixel, int32_t factor, uint8_t* target) {
    enlarge_pixels(source, FRAME_WIDTH, bytes_per_pixel, factor, target);
}

void enlarge_frame_area(const uint8_t* source, int32_t source_pitch, int32_t bytes_per_pixel,
                        int32_t factor, const FrameArea& area, uint8_t* target,
                        int32_t target_pitch) {
    if (area.width <= 0 || area.height <= 0) return;
    const size_t row_bytes = static_cast<size_t>(area.width) * factor * bytes_per_pixel;
    for (int32_t y = area.top; y < area.top + area.height; ++y) {
        uint8_t* first = target + static_cast<intptr_t>(y) * factor * target_pitch +
                         static_cast<intptr_t>(area.left) * factor * bytes_per_pixel;
        enlarge_pixels(source + static_cast<intptr_t>(y) * source_pitch +
                           static_cast<intptr_t>(area.left) * bytes_per_pixel,
                       area.width, bytes_per_pixel, factor, first);
        // The block's other rows repeat its first.
        for (int32_t i = 1; i < factor; ++i)
            std::memcpy(first + static_cast<intptr_t>(i) * target_pitch, first, row_bytes);
    }
}

void enlarge_frame(const uint8_t* source, int32_t source_pitch, int32_t bytes_per_pixel,
                   int32_t factor, uint8_t* target, int32_t target_pitch) {
    enlarge_frame_area(source, source_pitch, bytes_per_pixel, factor, WHOLE_FRAME, target,
                       target_pitch);
}

void reduce_frame(const uint8_t* source, int32_t source_pitch, int32_t bytes_per_pixel,
                  const FrameFit& fit, uint8_t* target, int32_t target_pitch) {
    static int32_t columns[FRAME_WIDTH];  // source byte offset of each target column
    for (int32_t x = 0; x < fit.width; ++x)
        columns[x] = (2 * x + 1) * FRAME_WIDTH / (2 * fit.width) * bytes_per_pixel;
    for (int32_t y = 0; y < fit.height; ++y) {
        const int32_t source_y = (2 * y + 1) * FRAME_HEIGHT / (2 * fit.height);
        const uint8_t* row = source + static_cast<intptr_t>(source_y) * source_pitch;
        uint8_t* out = target + static_cast<intptr_t>(y) * target_pitch;
        for (int32_t x = 0; x < fit.width; ++x, out += bytes_per_pixel)
            std::memcpy(out, row + columns[x], static_cast<size_t>(bytes_per_pixel));
    }
}
