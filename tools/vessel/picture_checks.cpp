#include "vessel/picture_checks.h"

#include <vector>

#include "vessel/marker_runs.h"
#include "vessel/stand.h"

namespace {

constexpr int SHADOW_LAYER = 9;    // the nearly black layer
constexpr int SHADOW_POINTS = 15;  // its points in the glass's top row, outside the pillars
constexpr int POUR_X = 66;         // the sand is poured into the upper bulb here
constexpr int POUR_Y = 46;
constexpr int INTERIOR_CELLS = 6068;

// Cells reachable from the pour cell by orthogonal steps that never cross the marker; 2 marks
// the marker, 1 the interior. Reaching the picture's edge means the glass leaks.
std::vector<int> fill_glass(const std::vector<Point>& marker, bool* leaks) {
    std::vector<int> grid(PICTURE_WIDTH * PICTURE_HEIGHT, 0);
    for (const Point& p : marker) grid[p.y * PICTURE_WIDTH + p.x] = 2;
    std::vector<Point> stack{{POUR_X, POUR_Y}};
    grid[POUR_Y * PICTURE_WIDTH + POUR_X] = 1;
    *leaks = false;
    while (!stack.empty()) {
        Point p = stack.back();
        stack.pop_back();
        const Point steps[4] = {{p.x + 1, p.y}, {p.x - 1, p.y}, {p.x, p.y + 1}, {p.x, p.y - 1}};
        for (const Point& q : steps) {
            if (q.x < 0 || q.x >= PICTURE_WIDTH || q.y < 0 || q.y >= PICTURE_HEIGHT) {
                *leaks = true;
                continue;
            }
            int& g = grid[q.y * PICTURE_WIDTH + q.x];
            if (g == 0) {
                g = 1;
                stack.push_back(q);
            }
        }
    }
    return grid;
}

std::string at(const char* what, int layer, const Point& p) {
    return std::string(what) + " (layer " + std::to_string(layer) + ", point " +
           std::to_string(p.x) + ", " + std::to_string(p.y) + ")";
}

}  // namespace

std::string check_picture(const Picture& picture, const LayerTarget targets[LAYER_COUNT]) {
    if (static_cast<int>(picture.layers.size()) != LAYER_COUNT) return "wrong number of layers";
    int total = 0;
    for (int i = 0; i < LAYER_COUNT; ++i) {
        if (static_cast<int>(picture.layers[i].size()) != targets[i].count)
            return "layer " + std::to_string(i) + " has " +
                   std::to_string(picture.layers[i].size()) + " points, not " +
                   std::to_string(targets[i].count);
        total += targets[i].count;
    }
    if (total != POINT_TOTAL) return "the layers do not add up to the point total";

    // The marker layer is the run table, cell by cell, in order.
    const std::vector<Point>& marker = picture.layers[LAYER_COUNT - 1];
    size_t m = 0;
    for (const MarkerRun& run : MARKER_RUNS) {
        for (int x = run.first; x <= run.last; ++x, ++m) {
            if (m >= marker.size() || marker[m].x != x || marker[m].y != run.row)
                return "the marker layer differs from the glass's run table";
        }
    }
    if (m != marker.size()) return "the marker layer differs from the glass's run table";

    bool leaks = false;
    std::vector<int> glass = fill_glass(marker, &leaks);
    int interior = 0;
    for (int g : glass) interior += g == 1;
    if (leaks || interior != INTERIOR_CELLS) return "the glass does not close round its interior";

    std::vector<int> owner(PICTURE_WIDTH * PICTURE_HEIGHT, -1);
    for (int i = 0; i < LAYER_COUNT; ++i) {
        const std::vector<Point>& points = picture.layers[i];
        for (size_t k = 0; k < points.size(); ++k) {
            const Point& p = points[k];
            if (p.x < 4 || p.x > 128 || p.y < 1 || p.y > 253)
                return at("point off the picture", i, p);
            if (k > 0) {
                const Point& q = points[k - 1];
                if (q.y > p.y || (q.y == p.y && q.x >= p.x))
                    return at("list not sorted or repeated", i, p);
            }
            int& o = owner[p.y * PICTURE_WIDTH + p.x];
            if (o >= 0) return at("cell already in another layer", i, p);
            o = i;
            if (i != LAYER_COUNT - 1 && glass[p.y * PICTURE_WIDTH + p.x] != 0)
                return at("grey point inside the glass", i, p);
        }
    }

    // Between the plates each row shows the two pillars, one run each within their columns, and
    // nothing between them and the glass but the shadow in the top row.
    int shadow = 0;
    for (int y = GLASS_TOP_ROW; y <= GLASS_BOTTOM_ROW; ++y) {
        int left_first = -1, left_last = -1, right_first = -1, right_last = -1;
        int wall_left = -1, wall_right = -1;
        for (int x = 0; x < PICTURE_WIDTH; ++x) {
            int o = owner[y * PICTURE_WIDTH + x];
            if (o == LAYER_COUNT - 1) {
                if (wall_left < 0) wall_left = x;
                wall_right = x;
            } else if (o >= 0 && x >= LEFT_PILLAR_FIRST && x <= LEFT_PILLAR_LAST) {
                if (left_first < 0)
                    left_first = x;
                else if (left_last != x - 1)
                    return "left pillar broken in row " + std::to_string(y);
                left_last = x;
            } else if (o >= 0 && x >= RIGHT_PILLAR_FIRST && x <= RIGHT_PILLAR_LAST) {
                if (right_first < 0)
                    right_first = x;
                else if (right_last != x - 1)
                    return "right pillar broken in row " + std::to_string(y);
                right_last = x;
            }
        }
        if (left_first < 0 || right_first < 0)
            return "a pillar is missing in row " + std::to_string(y);
        for (int x = 0; x < PICTURE_WIDTH; ++x) {
            int o = owner[y * PICTURE_WIDTH + x];
            if (o < 0 || o == LAYER_COUNT - 1) continue;
            if ((x >= left_first && x <= left_last) || (x >= right_first && x <= right_last))
                continue;
            bool between = (x > left_last && x < wall_left) || (x > wall_right && x < right_first);
            if (y == GLASS_TOP_ROW && o == SHADOW_LAYER && between) {
                ++shadow;
                continue;
            }
            return at("grey point beside the glass", o, {x, y});
        }
    }
    if (shadow != SHADOW_POINTS) return "the glass's top row does not hold its shadow";
    return "";
}
