// The vessel's picture: colour layers of points. Twelve grey layers draw the hourglass's frame;
// the marker layer, in pure blue, traces the glass and becomes the wall of the world.
#pragma once

#include <cstdint>

struct ShapePoint {
    uint8_t x;  // picture column
    uint8_t y;  // picture row, 0 at the top
};

struct ShapeLayer {
    uint16_t point_count;
    uint8_t red;
    uint8_t green;
    uint8_t blue;
    const ShapePoint* points;  // sorted by row, then column
};

struct ShapeSet {
    int32_t picture_width;
    int32_t picture_height;
    uint16_t point_total;
    uint8_t layer_count;
    const ShapeLayer* layers;  // in drawing order
};

extern const ShapeSet vessel_picture;
