// The rules every vessel picture keeps, checked over the generator's layers before it writes them.
#pragma once

#include <string>
#include <vector>

constexpr int LAYER_COUNT = 13;  // twelve grey layers, then the marker
constexpr int POINT_TOTAL = 16982;

// The glass spans these rows; between them only the pillars may be drawn, within these columns.
constexpr int GLASS_TOP_ROW = 43;
constexpr int GLASS_BOTTOM_ROW = 205;
constexpr int LEFT_PILLAR_FIRST = 12;
constexpr int LEFT_PILLAR_LAST = 31;
constexpr int RIGHT_PILLAR_FIRST = 102;
constexpr int RIGHT_PILLAR_LAST = 123;

struct Point {
    int x;
    int y;
};

struct LayerTarget {
    int grey;   // red = green = blue for the grey layers; the marker is pure blue
    int count;  // points in the layer
};

struct Picture {
    std::vector<std::vector<Point>> layers;
};

// Empty when the picture keeps every rule, otherwise the first rule broken.
std::string check_picture(const Picture& picture, const LayerTarget targets[LAYER_COUNT]);
