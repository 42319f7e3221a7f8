// Every part of the stand is turned: a solid of revolution round a vertical axis, described by
// its radius per row. Seen from the front, a cell at horizontal distance d from the axis shows
// the surface at angle asin(d / r), and the slope of the radius tilts the normal up or down;
// that is enough for Lambert shading with a small specular highlight.
#include "vessel/stand.h"

#include <algorithm>
#include <cmath>

namespace {

// --- profiles ----------------------------------------------------------------------------------

// A plate: a superellipse in the vertical section, so its ends are round and its face is full,
// with grooves cut round it.
struct Groove {
    double row;
    double depth;
    double half_width;
};

struct Plate {
    double axis_x;
    double centre_y;
    double half_height;
    double radius;
    double exponent;
    const Groove* grooves;
    int groove_count;
};

const Groove TOP_GROOVES[] = {{9.0, 1.3, 1.1}, {32.5, 1.3, 1.1}, {36.5, 0.9, 0.8}};
const Groove BASE_GROOVES[] = {{213.5, 1.3, 1.1}, {218.0, 0.9, 0.8}, {244.5, 1.3, 1.1}};

const Plate TOP_PLATE = {66.5, 21.5, 21.4, 62.0, 3.5, TOP_GROOVES, 3};
const Plate BASE_PLATE = {66.5, 229.5, 24.4, 62.0, 3.5, BASE_GROOVES, 3};

double plate_radius(const Plate& p, double y) {
    double t = std::fabs(y - p.centre_y) / p.half_height;
    if (t >= 1.0) return -1.0;
    double r = p.radius * std::pow(1.0 - std::pow(t, p.exponent), 1.0 / p.exponent);
    for (int i = 0; i < p.groove_count; ++i) {
        double u = (y - p.grooves[i].row) / p.grooves[i].half_width;
        r -= p.grooves[i].depth * std::exp(-u * u);
    }
    return r;
}

// A pillar: the largest of a few turned elements at each row, mirrored about its middle row.
enum ElementKind { CYLINDER, BEAD, VASE };

struct Element {
    ElementKind kind;
    double top;
    double bottom;
    double r0;  // cylinder radius; bead and vase: radius at the ends
    double r1;  // bead and vase: radius at the middle
};

const double PILLAR_MIDDLE = 124.5;  // rows above are mirrored below
const Element PILLAR_HALF[] = {
    {CYLINDER, 20.0, 47.0, 9.4, 0},    // capital block under the top plate
    {BEAD, 46.0, 51.0, 6.0, 9.0},      // ring under the capital
    {CYLINDER, 50.0, 58.0, 7.2, 0},    // collar
    {BEAD, 56.5, 61.5, 6.0, 8.8},      // bead
    {VASE, 60.5, 113.5, 7.0, 9.3},     // long swelling shaft
    {BEAD, 112.0, 117.0, 6.0, 8.4},    // bead above the middle ring
    {CYLINDER, 116.0, 120.0, 7.0, 0},  // neck
    {BEAD, 118.5, 130.5, 6.5, 9.4},    // middle ring, level with the glass's neck
};

double element_radius(const Element& e, double y) {
    if (y < e.top || y > e.bottom) return -1.0;
    double u = (y - e.top) / (e.bottom - e.top) * 2.0 - 1.0;  // -1..1 along the element
    switch (e.kind) {
        case CYLINDER:
            return e.r0;
        case BEAD:
            return e.r0 + (e.r1 - e.r0) * std::sqrt(std::max(0.0, 1.0 - u * u));
        case VASE: {
            // swells below its middle, like a baluster
            double v = (u + 1.0) / 2.0;
            double s = std::sin(3.14159265358979 * std::pow(v, 1.4));
            return e.r0 + (e.r1 - e.r0) * s;
        }
    }
    return -1.0;
}

double pillar_radius(double y) {
    double m = y <= PILLAR_MIDDLE ? y : 2.0 * PILLAR_MIDDLE - y;
    double r = -1.0;
    for (const Element& e : PILLAR_HALF) r = std::max(r, element_radius(e, m));
    return r;
}

const double PILLAR_AXES[] = {21.5, 111.5};

// --- shading -----------------------------------------------------------------------------------

struct Vec {
    double x, y, z;
};

Vec normalised(Vec v) {
    double n = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x / n, v.y / n, v.z / n};
}

// Light from the upper left, in front; rows grow downward, the viewer looks along -z.
const Vec LIGHT = normalised({-0.6, -0.5, 0.62});
const Vec HALFWAY = normalised({LIGHT.x, LIGHT.y, LIGHT.z + 1.0});

// Shading of a turned surface of radius r (slope dr per row) at horizontal offset dx.
double shade_turned(double dx, double r, double slope) {
    double s = std::clamp(dx / std::max(r, 0.5), -1.0, 1.0);
    Vec n = normalised({s, -slope, std::sqrt(1.0 - s * s)});
    double diffuse = std::max(0.0, n.x * LIGHT.x + n.y * LIGHT.y + n.z * LIGHT.z);
    double h = std::max(0.0, n.x * HALFWAY.x + n.y * HALFWAY.y + n.z * HALFWAY.z);
    return 0.08 + 0.8 * diffuse + 0.5 * std::pow(h, 30.0);
}

// Change of a radius per row, taken across the row.
template <typename F>
double slope_of(F radius, double y) {
    return radius(y + 0.5) - radius(y - 0.5);
}

}  // namespace

std::vector<StandCell> shade_stand() {
    std::vector<StandCell> cells(PICTURE_WIDTH * PICTURE_HEIGHT);
    for (int y = 0; y < PICTURE_HEIGHT; ++y) {
        for (int x = 0; x < PICTURE_WIDTH; ++x) {
            StandCell& c = cells[y * PICTURE_WIDTH + x];
            c = {OUTSIDE_STAND, OUTSIDE_STAND, 0.0, 0.0};
            for (const Plate* p : {&TOP_PLATE, &BASE_PLATE}) {
                auto radius = [p](double yy) { return plate_radius(*p, yy); };
                double r = radius(y);
                if (r < 0.0) continue;
                double inside = r - std::fabs(x - p->axis_x);
                if (inside > c.front) {
                    c.front = inside;
                    double slope = std::clamp(slope_of(radius, y), -6.0, 6.0);
                    c.brightness = shade_turned(x - p->axis_x, r, slope);
                }
            }
            c.inside = c.front;
            double r = pillar_radius(y);
            if (r < 0.0) continue;
            for (double axis : PILLAR_AXES) {
                double inside = r - std::fabs(x - axis);
                if (inside > c.inside) c.inside = inside;
                if (inside > -2.0) {  // the cut may grow the outline a little
                    double slope = std::clamp(slope_of(pillar_radius, y), -6.0, 6.0);
                    c.pillar_brightness = shade_turned(x - axis, r, slope);
                }
            }
        }
    }
    // Where a pillar meets a plate little light reaches it: darken the pillar by its distance d
    // in rows from the nearest plate cell of its column.
    for (int x = 0; x < PICTURE_WIDTH; ++x) {
        for (int y = 0; y < PICTURE_HEIGHT; ++y) {
            StandCell& c = cells[y * PICTURE_WIDTH + x];
            int d = 1;
            while (d < 12) {
                bool near = false;
                for (int yy : {y - d, y + d}) {
                    if (yy >= 0 && yy < PICTURE_HEIGHT &&
                        cells[yy * PICTURE_WIDTH + x].front >= 0.0)
                        near = true;
                }
                if (near) break;
                ++d;
            }
            c.pillar_brightness *= 1.0 - 0.7 * std::exp(-(d - 1) / 2.0);
        }
    }
    return cells;
}
