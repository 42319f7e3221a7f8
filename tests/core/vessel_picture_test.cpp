// The vessel's picture: the layer table, the point lists' order and bounds, the glass traced by
// the marker layer and the closed interior it bounds, and the stand kept clear of the glass.
#include "vessel_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

namespace {

constexpr int WIDTH = 132;
constexpr int HEIGHT = 256;
constexpr int MARKER = 12;  // the marker layer
constexpr int SHADOW = 9;   // the nearly black layer

struct GlassRun {
    int row;
    int first;
    int last;
};

// The glass, row by row: inclusive column ranges of marker cells, in list order.
const GlassRun GLASS_RUNS[] = {
    {43, 59, 75},  {44, 57, 61},  {44, 76, 78},  {45, 56, 58},  {45, 77, 79},  {46, 54, 56},
    {46, 79, 81},  {47, 51, 55},  {47, 81, 83},  {48, 49, 52},  {48, 83, 85},  {49, 47, 49},
    {49, 85, 87},  {50, 46, 47},  {50, 87, 88},  {51, 45, 46},  {51, 88, 89},  {52, 44, 45},
    {52, 89, 90},  {53, 43, 44},  {53, 90, 90},  {54, 43, 44},  {54, 90, 91},  {55, 42, 43},
    {55, 91, 92},  {56, 40, 42},  {56, 92, 93},  {57, 40, 41},  {57, 93, 93},  {58, 40, 40},
    {58, 93, 94},  {59, 39, 40},  {59, 94, 94},  {60, 38, 39},  {60, 94, 95},  {61, 38, 39},
    {61, 94, 95},  {62, 38, 39},  {62, 95, 95},  {63, 37, 38},  {63, 95, 96},  {64, 37, 37},
    {64, 96, 96},  {65, 36, 37},  {65, 96, 97},  {66, 36, 37},  {66, 97, 97},  {67, 36, 36},
    {67, 97, 97},  {68, 36, 36},  {68, 97, 97},  {69, 36, 36},  {69, 97, 97},  {70, 36, 36},
    {70, 97, 97},  {71, 36, 36},  {71, 97, 97},  {72, 36, 36},  {72, 97, 97},  {73, 36, 36},
    {73, 96, 97},  {74, 36, 36},  {74, 96, 96},  {75, 36, 36},  {75, 96, 96},  {76, 36, 37},
    {76, 96, 96},  {77, 36, 37},  {77, 95, 96},  {78, 37, 37},  {78, 95, 96},  {79, 37, 37},
    {79, 95, 96},  {80, 37, 38},  {80, 95, 95},  {81, 38, 39},  {81, 94, 95},  {82, 39, 39},
    {82, 94, 95},  {83, 39, 39},  {83, 93, 94},  {84, 39, 40},  {84, 93, 94},  {85, 39, 40},
    {85, 93, 93},  {86, 40, 41},  {86, 92, 93},  {87, 40, 41},  {87, 92, 93},  {88, 41, 42},
    {88, 91, 92},  {89, 42, 42},  {89, 90, 91},  {90, 42, 43},  {90, 90, 91},  {91, 42, 44},
    {91, 89, 90},  {92, 44, 44},  {92, 89, 90},  {93, 44, 45},  {93, 88, 89},  {94, 44, 46},
    {94, 88, 89},  {95, 46, 47},  {95, 87, 88},  {96, 46, 47},  {96, 86, 87},  {97, 47, 48},
    {97, 86, 87},  {98, 48, 49},  {98, 85, 86},  {99, 48, 49},  {99, 85, 86},  {100, 49, 50},
    {100, 85, 85}, {101, 50, 51}, {101, 84, 85}, {102, 50, 51}, {102, 83, 84}, {103, 51, 52},
    {103, 82, 83}, {104, 52, 53}, {104, 81, 82}, {105, 52, 53}, {105, 80, 81}, {106, 53, 54},
    {106, 79, 81}, {107, 54, 55}, {107, 79, 80}, {108, 54, 56}, {108, 78, 79}, {109, 55, 56},
    {109, 78, 79}, {110, 56, 57}, {110, 77, 78}, {111, 56, 57}, {111, 76, 77}, {112, 57, 58},
    {112, 75, 76}, {113, 58, 59}, {113, 74, 75}, {114, 58, 60}, {114, 73, 74}, {115, 59, 60},
    {115, 72, 73}, {116, 60, 61}, {116, 72, 73}, {117, 60, 61}, {117, 71, 72}, {118, 61, 61},
    {118, 70, 71}, {119, 61, 62}, {119, 70, 71}, {120, 62, 63}, {120, 70, 70}, {121, 63, 64},
    {121, 69, 70}, {122, 63, 64}, {122, 69, 69}, {123, 64, 64}, {123, 69, 69}, {124, 64, 65},
    {124, 68, 69}, {125, 65, 65}, {125, 68, 68}, {126, 64, 65}, {126, 68, 69}, {127, 64, 64},
    {127, 69, 69}, {128, 63, 64}, {128, 69, 69}, {129, 63, 64}, {129, 69, 69}, {130, 63, 63},
    {130, 69, 70}, {131, 62, 63}, {131, 70, 70}, {132, 62, 63}, {132, 70, 71}, {133, 62, 62},
    {133, 70, 71}, {134, 61, 62}, {134, 70, 71}, {135, 60, 61}, {135, 71, 72}, {136, 59, 60},
    {136, 72, 73}, {137, 58, 59}, {137, 72, 73}, {138, 58, 59}, {138, 73, 74}, {139, 57, 58},
    {139, 74, 75}, {140, 57, 57}, {140, 75, 76}, {141, 56, 57}, {141, 76, 77}, {142, 55, 56},
    {142, 77, 78}, {143, 54, 56}, {143, 78, 79}, {144, 53, 54}, {144, 79, 80}, {145, 52, 53},
    {145, 80, 81}, {146, 51, 53}, {146, 81, 82}, {147, 50, 52}, {147, 82, 82}, {148, 49, 51},
    {148, 82, 83}, {149, 49, 50}, {149, 83, 84}, {150, 48, 49}, {150, 83, 84}, {151, 48, 49},
    {151, 84, 85}, {152, 46, 48}, {152, 85, 86}, {153, 46, 47}, {153, 86, 87}, {154, 45, 47},
    {154, 86, 88}, {155, 45, 46}, {155, 87, 88}, {156, 44, 45}, {156, 88, 89}, {157, 44, 45},
    {157, 88, 89}, {158, 42, 44}, {158, 89, 90}, {159, 42, 43}, {159, 89, 90}, {160, 41, 42},
    {160, 90, 91}, {161, 40, 42}, {161, 91, 92}, {162, 40, 41}, {162, 91, 93}, {163, 39, 41},
    {163, 92, 93}, {164, 39, 40}, {164, 92, 93}, {165, 39, 40}, {165, 93, 94}, {166, 39, 39},
    {166, 93, 94}, {167, 38, 39}, {167, 93, 95}, {168, 37, 38}, {168, 94, 95}, {169, 37, 38},
    {169, 94, 96}, {170, 37, 38}, {170, 95, 96}, {171, 37, 38}, {171, 95, 96}, {172, 37, 37},
    {172, 95, 96}, {173, 37, 37}, {173, 95, 97}, {174, 36, 37}, {174, 96, 97}, {175, 36, 37},
    {175, 96, 97}, {176, 36, 37}, {176, 96, 97}, {177, 36, 37}, {177, 96, 97}, {178, 36, 37},
    {178, 96, 97}, {179, 36, 37}, {179, 96, 97}, {180, 36, 37}, {180, 96, 97}, {181, 36, 37},
    {181, 96, 97}, {182, 36, 37}, {182, 96, 97}, {183, 37, 37}, {183, 96, 97}, {184, 37, 38},
    {184, 96, 97}, {185, 37, 38}, {185, 96, 97}, {186, 37, 38}, {186, 95, 96}, {187, 38, 39},
    {187, 95, 96}, {188, 38, 39}, {188, 94, 96}, {189, 38, 40}, {189, 94, 95}, {190, 39, 40},
    {190, 93, 94}, {191, 40, 41}, {191, 92, 94}, {192, 40, 42}, {192, 91, 93}, {193, 41, 42},
    {193, 91, 92}, {194, 42, 43}, {194, 90, 91}, {195, 42, 44}, {195, 89, 91}, {196, 43, 44},
    {196, 88, 90}, {197, 44, 45}, {197, 88, 89}, {198, 44, 46}, {198, 87, 88}, {199, 45, 47},
    {199, 85, 87}, {200, 47, 49}, {200, 84, 85}, {201, 49, 51}, {201, 82, 84}, {202, 50, 52},
    {202, 80, 83}, {203, 50, 54}, {203, 77, 81}, {204, 53, 58}, {204, 72, 80}, {205, 57, 73},
};

// Which layer holds each cell, -1 for none; a cell in two layers fails the test that builds it.
using Owners = std::array<int, WIDTH * HEIGHT>;

Owners owners_of_picture(bool* shared) {
    Owners owner;
    owner.fill(-1);
    *shared = false;
    for (int i = 0; i < vessel_picture.layer_count; ++i) {
        const ShapeLayer& layer = vessel_picture.layers[i];
        for (int k = 0; k < layer.point_count; ++k) {
            int& o = owner[layer.points[k].y * WIDTH + layer.points[k].x];
            if (o >= 0) *shared = true;
            o = i;
        }
    }
    return owner;
}

// The interior: cells reachable from the sand's start cell by orthogonal steps that do not cross
// the marker. Touching the picture's edge means the glass is open.
std::vector<bool> fill_interior(bool* open) {
    bool shared = false;
    Owners owner = owners_of_picture(&shared);
    std::vector<bool> inside(WIDTH * HEIGHT, false);
    std::vector<std::array<int, 2>> stack{{66, 46}};
    inside[46 * WIDTH + 66] = true;
    *open = false;
    while (!stack.empty()) {
        auto [x, y] = stack.back();
        stack.pop_back();
        const int steps[4][2] = {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}};
        for (const auto& s : steps) {
            if (s[0] < 0 || s[0] >= WIDTH || s[1] < 0 || s[1] >= HEIGHT) {
                *open = true;
                continue;
            }
            int c = s[1] * WIDTH + s[0];
            if (!inside[c] && owner[c] != MARKER) {
                inside[c] = true;
                stack.push_back({s[0], s[1]});
            }
        }
    }
    return inside;
}

TEST(VesselPictureLayers, HeaderAndLayerTable) {
    EXPECT_EQ(vessel_picture.picture_width, 132);
    EXPECT_EQ(vessel_picture.picture_height, 256);
    EXPECT_EQ(vessel_picture.point_total, 16982);
    ASSERT_EQ(vessel_picture.layer_count, 13);
    struct Expected {
        int red, green, blue, count;
    };
    const Expected table[13] = {
        {70, 70, 70, 3355},    {49, 49, 49, 2439}, {87, 87, 87, 2307},    {37, 37, 37, 1103},
        {29, 29, 29, 588},     {21, 21, 21, 435},  {12, 12, 12, 360},     {95, 95, 95, 1651},
        {111, 111, 111, 1928}, {1, 1, 1, 394},     {140, 140, 140, 1203}, {185, 185, 185, 525},
        {0, 0, 255, 694},
    };
    int total = 0;
    for (int i = 0; i < 13; ++i) {
        const ShapeLayer& layer = vessel_picture.layers[i];
        EXPECT_EQ(layer.red, table[i].red) << "layer " << i;
        EXPECT_EQ(layer.green, table[i].green) << "layer " << i;
        EXPECT_EQ(layer.blue, table[i].blue) << "layer " << i;
        EXPECT_EQ(layer.point_count, table[i].count) << "layer " << i;
        total += layer.point_count;
    }
    EXPECT_EQ(total, vessel_picture.point_total);
    // The marker search takes the first layer of the marker colour: it must be the last layer.
    for (int i = 0; i < 12; ++i)
        EXPECT_FALSE(vessel_picture.layers[i].red == 0 && vessel_picture.layers[i].blue == 255);
}

TEST(VesselPictureLayers, ListsSortedInBoundsAndDisjoint) {
    for (int i = 0; i < vessel_picture.layer_count; ++i) {
        const ShapeLayer& layer = vessel_picture.layers[i];
        if (i == MARKER) continue;  // the marker keeps the run table's order, checked below
        for (int k = 1; k < layer.point_count; ++k) {
            const ShapePoint& a = layer.points[k - 1];
            const ShapePoint& b = layer.points[k];
            ASSERT_TRUE(a.y < b.y || (a.y == b.y && a.x < b.x))
                << "layer " << i << " point " << k << " (" << +b.x << ", " << +b.y << ")";
        }
    }
    for (int i = 0; i < vessel_picture.layer_count; ++i) {
        const ShapeLayer& layer = vessel_picture.layers[i];
        for (int k = 0; k < layer.point_count; ++k) {
            const ShapePoint& p = layer.points[k];
            ASSERT_TRUE(p.x >= 4 && p.x <= 128 && p.y >= 1 && p.y <= 253)
                << "layer " << i << " (" << +p.x << ", " << +p.y << ")";
        }
    }
    bool shared = true;
    Owners owner = owners_of_picture(&shared);
    EXPECT_FALSE(shared);
    EXPECT_EQ(std::count_if(owner.begin(), owner.end(), [](int o) { return o >= 0; }), 16982);
}

TEST(VesselPictureGlass, MarkerLayerIsTheRunTable) {
    const ShapeLayer& marker = vessel_picture.layers[MARKER];
    int k = 0;
    for (const GlassRun& run : GLASS_RUNS) {
        for (int x = run.first; x <= run.last; ++x, ++k) {
            ASSERT_LT(k, marker.point_count);
            ASSERT_EQ(marker.points[k].x, x) << "point " << k;
            ASSERT_EQ(marker.points[k].y, run.row) << "point " << k;
        }
    }
    EXPECT_EQ(k, 694);
    EXPECT_EQ(marker.point_count, 694);

    // Runs read back from the layer: the closing rows hold one, every row between them two.
    std::vector<GlassRun> found;
    for (int i = 0; i < marker.point_count; ++i) {
        const ShapePoint& p = marker.points[i];
        if (!found.empty() && found.back().row == p.y && found.back().last + 1 == p.x) {
            found.back().last = p.x;
        } else {
            found.push_back({p.y, p.x, p.x});
        }
    }
    ASSERT_EQ(found.size(), 324u);
    EXPECT_EQ(found.front().row, 43);
    EXPECT_EQ(found.front().first, 59);
    EXPECT_EQ(found.front().last, 75);
    EXPECT_EQ(found.back().row, 205);
    EXPECT_EQ(found.back().first, 57);
    EXPECT_EQ(found.back().last, 73);
    for (int row = 44; row <= 204; ++row) {
        int runs = 0;
        for (const GlassRun& r : found) {
            if (r.row != row) continue;
            ++runs;
            EXPECT_LE(r.last - r.first + 1, 9) << "row " << row;
        }
        EXPECT_EQ(runs, 2) << "row " << row;
    }
    // The neck: walls in columns 65 and 68 in row 125.
    EXPECT_EQ(found[2 * (125 - 44) + 1].first, 65);
    EXPECT_EQ(found[2 * (125 - 44) + 1].last, 65);
    EXPECT_EQ(found[2 * (125 - 44) + 2].first, 68);
    EXPECT_EQ(found[2 * (125 - 44) + 2].last, 68);
}

TEST(VesselPictureGlass, InteriorIsClosedAndShaped) {
    bool open = true;
    std::vector<bool> inside = fill_interior(&open);
    ASSERT_FALSE(open);
    std::array<int, HEIGHT> per_row{};
    int total = 0;
    for (int y = 0; y < HEIGHT; ++y)
        for (int x = 0; x < WIDTH; ++x)
            if (inside[y * WIDTH + x]) ++per_row[y], ++total;
    EXPECT_EQ(total, 6068);

    int above_neck = 0, below_neck = 0, first_row = -1, last_row = -1;
    for (int y = 0; y < HEIGHT; ++y) {
        if (per_row[y] == 0) continue;
        if (first_row < 0) first_row = y;
        last_row = y;
        if (y < 124) above_neck += per_row[y];
        if (y > 126) below_neck += per_row[y];
    }
    EXPECT_EQ(first_row, 44);
    EXPECT_EQ(last_row, 204);
    EXPECT_EQ(above_neck, 3096);
    EXPECT_EQ(below_neck, 2966);
    // Through the neck only the two-cell gap.
    for (int y = 124; y <= 126; ++y) {
        EXPECT_EQ(per_row[y], 2) << "row " << y;
        EXPECT_TRUE(inside[y * WIDTH + 66] && inside[y * WIDTH + 67]) << "row " << y;
    }
    // The widest rows of either bulb.
    int upper_widest = *std::max_element(per_row.begin(), per_row.begin() + 124);
    int lower_widest = *std::max_element(per_row.begin() + 127, per_row.end());
    EXPECT_EQ(upper_widest, 60);
    EXPECT_EQ(lower_widest, 58);
    for (int y = 44; y <= 204; ++y) {
        bool upper_wide = y >= 67 && y <= 72;
        bool lower_wide = y >= 174 && y <= 183;
        if (y < 124) {
            EXPECT_EQ(per_row[y] == 60, upper_wide) << "row " << y;
        } else if (y > 126) {
            EXPECT_EQ(per_row[y] == 58, lower_wide) << "row " << y;
        }
    }
    // The sand's start cell lies inside, and diagonal steps would leak at the top's corner.
    EXPECT_TRUE(inside[46 * WIDTH + 66]);
    EXPECT_TRUE(inside[44 * WIDTH + 75]);
    EXPECT_FALSE(inside[43 * WIDTH + 76]);
}

TEST(VesselPictureStand, NoGreyInsideTheGlassOrOnItsWall) {
    bool open = true;
    std::vector<bool> inside = fill_interior(&open);
    ASSERT_FALSE(open);
    std::vector<bool> wall(WIDTH * HEIGHT, false);
    for (const GlassRun& run : GLASS_RUNS)
        for (int x = run.first; x <= run.last; ++x) wall[run.row * WIDTH + x] = true;
    for (int i = 0; i < MARKER; ++i) {
        const ShapeLayer& layer = vessel_picture.layers[i];
        for (int k = 0; k < layer.point_count; ++k) {
            int c = layer.points[k].y * WIDTH + layer.points[k].x;
            EXPECT_FALSE(inside[c] || wall[c])
                << "layer " << i << " (" << +layer.points[k].x << ", " << +layer.points[k].y << ")";
        }
    }
}

// Between the plates (rows 43..205) each row shows the left pillar as one run within columns
// 12..31 and the right pillar as one run within 102..123. "Between the glass and the pillars" is,
// per row, the columns strictly between the left pillar's last cell and the glass's first wall
// cell, and between the glass's last wall cell and the right pillar's first cell. Only the 15
// nearly black points of row 43 may lie there; no grey point lies anywhere else in these rows.
TEST(VesselPictureStand, BackgroundShowsBetweenGlassAndPillars) {
    bool shared = true;
    Owners owner = owners_of_picture(&shared);
    ASSERT_FALSE(shared);
    int shadow_points = 0;
    for (int y = 43; y <= 205; ++y) {
        int wall_left = -1, wall_right = -1;
        std::vector<int> left, right, elsewhere;
        for (int x = 0; x < WIDTH; ++x) {
            int o = owner[y * WIDTH + x];
            if (o == MARKER) {
                if (wall_left < 0) wall_left = x;
                wall_right = x;
            } else if (o >= 0) {
                if (x >= 12 && x <= 31)
                    left.push_back(x);
                else if (x >= 102 && x <= 123)
                    right.push_back(x);
                else
                    elsewhere.push_back(x);
            }
        }
        ASSERT_FALSE(left.empty()) << "row " << y;
        ASSERT_FALSE(right.empty()) << "row " << y;
        EXPECT_EQ(left.back() - left.front() + 1, static_cast<int>(left.size())) << "row " << y;
        EXPECT_EQ(right.back() - right.front() + 1, static_cast<int>(right.size())) << "row " << y;
        for (int x : elsewhere) {
            bool between =
                (x > left.back() && x < wall_left) || (x > wall_right && x < right.front());
            if (y == 43 && between && owner[y * WIDTH + x] == SHADOW) {
                ++shadow_points;
            } else {
                ADD_FAILURE() << "grey point beside the glass at (" << x << ", " << y << ")";
            }
        }
    }
    EXPECT_EQ(shadow_points, 15);
}

// The frame reads as an hourglass stand: a top plate over the whole width in rows 1..42, a base
// in rows 206..253, both wider than the pillars, the pillars continuous between them, and the
// light falling from the left.
TEST(VesselPictureStand, PlatesPillarsAndLight) {
    bool shared = true;
    Owners owner = owners_of_picture(&shared);
    auto grey_row_span = [&](int y, int* first, int* last) {
        *first = -1;
        *last = -1;
        for (int x = 0; x < WIDTH; ++x) {
            int o = owner[y * WIDTH + x];
            if (o < 0 || o == MARKER) continue;
            if (*first < 0) *first = x;
            *last = x;
        }
    };
    int widest_top = 0, widest_base = 0, first = 0, last = 0;
    for (int y = 1; y <= 253; ++y) {
        grey_row_span(y, &first, &last);
        ASSERT_GE(first, 0) << "the stand is broken at row " << y;
        if (y <= 42) widest_top = std::max(widest_top, last - first + 1);
        if (y >= 206) widest_base = std::max(widest_base, last - first + 1);
        if (y <= 42 || y >= 206) {
            // plate rows are solid from edge to edge
            for (int x = first; x <= last; ++x)
                EXPECT_GE(owner[y * WIDTH + x], 0) << x << ", " << y;
        }
    }
    EXPECT_GE(widest_top, 122);
    EXPECT_GE(widest_base, 122);

    // Each pillar is brighter on its left half than on its right.
    for (int axis : {21, 111}) {
        long left_sum = 0, right_sum = 0, left_n = 0, right_n = 0;
        for (int y = 50; y <= 200; ++y) {
            for (int d = 1; d <= 9; ++d) {
                int l = owner[y * WIDTH + axis - d + 1], r = owner[y * WIDTH + axis + d];
                if (l >= 0) left_sum += vessel_picture.layers[l].red, ++left_n;
                if (r >= 0) right_sum += vessel_picture.layers[r].red, ++right_n;
            }
        }
        ASSERT_GT(left_n, 0);
        ASSERT_GT(right_n, 0);
        EXPECT_GT(left_sum * right_n, 3 * right_sum * left_n / 2) << "pillar at " << axis;
    }
}

}  // namespace
