// Writes core/vessel_picture.cpp: the vessel's picture as constant data. The marker layer is the
// glass's run table; the twelve grey layers shade the stand (tools/vessel/stand.cpp). The stand's
// region is cut so that it holds exactly as many cells as the grey layers have points, and its
// cells, ranked by brightness, fill the layers from the darkest grey to the lightest.
//
//   make_vessel_picture OUTPUT.cpp      (the build target `vessel_picture` runs it)
//
// The picture is checked before anything is written; a failed check writes nothing and exits 1.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "vessel/marker_runs.h"
#include "vessel/picture_checks.h"
#include "vessel/stand.h"

namespace {

// The layers' colours and sizes, in drawing order; the last is the marker.
const LayerTarget LAYER_TARGETS[LAYER_COUNT] = {
    {70, 3355}, {49, 2439},  {87, 2307}, {37, 1103},  {29, 588},  {21, 435}, {12, 360},
    {95, 1651}, {111, 1928}, {1, 394},   {140, 1203}, {185, 525}, {0, 694},
};

// The glass meets the top plate in row 43: a thin shadow on either side of its top.
const Point TOP_SHADOW[] = {{52, 43}, {53, 43}, {54, 43}, {55, 43}, {56, 43},
                            {57, 43}, {58, 43}, {76, 43}, {77, 43}, {78, 43},
                            {79, 43}, {80, 43}, {81, 43}, {82, 43}, {83, 43}};
constexpr int TOP_SHADOW_COUNT = sizeof TOP_SHADOW / sizeof TOP_SHADOW[0];

// Between the plates only the pillars are drawn: the background shows between them and the glass.
bool may_hold_stand(int x, int y) {
    if (x < 4 || x > 128 || y < 1 || y > 253) return false;
    if (y < GLASS_TOP_ROW || y > GLASS_BOTTOM_ROW) return true;
    return (x >= LEFT_PILLAR_FIRST && x <= LEFT_PILLAR_LAST) ||
           (x >= RIGHT_PILLAR_FIRST && x <= RIGHT_PILLAR_LAST);
}

bool is_top_shadow(int x, int y) {
    for (const Point& c : TOP_SHADOW)
        if (c.x == x && c.y == y) return true;
    return false;
}

bool make_picture(Picture& picture) {
    picture.layers.assign(LAYER_COUNT, {});

    std::vector<Point> marker;
    for (const MarkerRun& run : MARKER_RUNS)
        for (int x = run.first; x <= run.last; ++x) marker.push_back({x, run.row});

    // Cut the region: the cells deepest inside the stand, as many as the grey layers need.
    std::vector<StandCell> stand = shade_stand();
    std::vector<int> candidates;
    for (int y = 0; y < PICTURE_HEIGHT; ++y)
        for (int x = 0; x < PICTURE_WIDTH; ++x)
            if (may_hold_stand(x, y) && stand[y * PICTURE_WIDTH + x].inside > OUTSIDE_STAND)
                candidates.push_back(y * PICTURE_WIDTH + x);
    auto shadow = [](int i) { return is_top_shadow(i % PICTURE_WIDTH, i / PICTURE_WIDTH); };
    candidates.erase(std::remove_if(candidates.begin(), candidates.end(), shadow),
                     candidates.end());
    int wanted = 0;
    for (int i = 0; i < LAYER_COUNT - 1; ++i) wanted += LAYER_TARGETS[i].count;
    wanted -= TOP_SHADOW_COUNT;
    std::stable_sort(candidates.begin(), candidates.end(),
                     [&](int a, int b) { return stand[a].inside > stand[b].inside; });
    if (static_cast<int>(candidates.size()) < wanted) {
        std::fprintf(stderr, "make_vessel_picture: the stand has too few cells\n");
        return false;
    }
    candidates.resize(wanted);
    double edge = stand[candidates.back()].inside;
    // The cut must follow the stand's own outline, never the columns kept free beside the glass.
    for (int y = 0; y < PICTURE_HEIGHT; ++y) {
        for (int x = 0; x < PICTURE_WIDTH; ++x) {
            bool kept_free = !may_hold_stand(x, y) && !is_top_shadow(x, y);
            if (kept_free && stand[y * PICTURE_WIDTH + x].inside >= edge) {
                std::fprintf(stderr, "make_vessel_picture: the stand overflows at (%d, %d)\n", x,
                             y);
                return false;
            }
        }
    }

    // Rank by brightness; the plates stand in front of the pillars.
    auto brightness = [&](int i) {
        return stand[i].front >= edge ? stand[i].brightness : stand[i].pillar_brightness;
    };
    std::stable_sort(candidates.begin(), candidates.end(),
                     [&](int a, int b) { return brightness(a) < brightness(b); });

    std::vector<int> ranked;
    for (const Point& c : TOP_SHADOW) ranked.push_back(c.y * PICTURE_WIDTH + c.x);
    ranked.insert(ranked.end(), candidates.begin(), candidates.end());

    // Layers by grey level, darkest first; the shadow layer is the darkest.
    std::vector<int> by_grey;
    for (int i = 0; i < LAYER_COUNT - 1; ++i) by_grey.push_back(i);
    std::stable_sort(by_grey.begin(), by_grey.end(),
                     [](int a, int b) { return LAYER_TARGETS[a].grey < LAYER_TARGETS[b].grey; });
    size_t next = 0;
    for (int layer : by_grey) {
        for (int k = 0; k < LAYER_TARGETS[layer].count; ++k, ++next)
            picture.layers[layer].push_back(
                {ranked[next] % PICTURE_WIDTH, ranked[next] / PICTURE_WIDTH});
    }
    picture.layers[LAYER_COUNT - 1] = marker;
    auto reading_order = [](const Point& a, const Point& b) {
        return a.y != b.y ? a.y < b.y : a.x < b.x;
    };
    for (int i = 0; i < LAYER_COUNT - 1; ++i)
        std::sort(picture.layers[i].begin(), picture.layers[i].end(), reading_order);
    return true;
}

std::string render_source(const Picture& picture) {
    std::string s;
    char buf[160];
    s += "// Generated by tools/make_vessel_picture.cpp (build target vessel_picture); do not "
         "edit.\n";
    s += "// The vessel's picture: twelve grey layers shading the hourglass's stand, then the "
         "marker\n";
    s += "// layer tracing the glass. Every list is sorted by row, then column.\n";
    s += "#include \"vessel_picture.h\"\n\nnamespace {\n";
    for (int i = 0; i < LAYER_COUNT; ++i) {
        const std::vector<Point>& points = picture.layers[i];
        std::snprintf(buf, sizeof buf, "\nconst ShapePoint LAYER_%d_POINTS[%zu] = {\n", i,
                      points.size());
        s += buf;
        std::string line;
        for (const Point& p : points) {
            std::snprintf(buf, sizeof buf, "{%d, %d},", p.x, p.y);
            if (!line.empty() && line.size() + 1 + std::string(buf).size() > 96) {
                s += line + "\n";
                line.clear();
            }
            line += line.empty() ? "    " : " ";
            line += buf;
        }
        s += line + "\n};\n";
    }
    s += "\nconst ShapeLayer VESSEL_LAYERS[" + std::to_string(LAYER_COUNT) + "] = {\n";
    for (int i = 0; i < LAYER_COUNT; ++i) {
        int red = i == LAYER_COUNT - 1 ? 0 : LAYER_TARGETS[i].grey;
        int blue = i == LAYER_COUNT - 1 ? 255 : LAYER_TARGETS[i].grey;
        std::snprintf(buf, sizeof buf, "    {%zu, %d, %d, %d, LAYER_%d_POINTS},\n",
                      picture.layers[i].size(), red, red, blue, i);
        s += buf;
    }
    s += "};\n\n}  // namespace\n\n";
    std::snprintf(buf, sizeof buf,
                  "const ShapeSet vessel_picture = {%d, %d, %d, %d, VESSEL_LAYERS};\n",
                  PICTURE_WIDTH, PICTURE_HEIGHT, POINT_TOTAL, LAYER_COUNT);
    s += buf;
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_vessel_picture OUTPUT.cpp\n");
        return 2;
    }
    Picture picture;
    if (!make_picture(picture)) return 1;
    std::string problem = check_picture(picture, LAYER_TARGETS);
    if (!problem.empty()) {
        std::fprintf(stderr, "make_vessel_picture: %s\n", problem.c_str());
        return 1;
    }
    std::string source = render_source(picture);
    FILE* f = std::fopen(argv[1], "wb");
    if (!f) {
        std::perror(argv[1]);
        return 1;
    }
    bool ok = std::fwrite(source.data(), 1, source.size(), f) == source.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
