// The vessel scene: places the vessel on its path, turns the glass's marker layer into a wall
// of fixed grains, pours the sand into the upper bulb and prepares the background.
#include "scene.h"

#include <cmath>
#include <cstring>

#include "background.h"

SceneState scene;

VesselPosition vessel_position(double orbit_angle) {
    double theta = orbit_angle * DEG_TO_RAD;
    VesselPosition at;
    at.x = PIVOT_X - static_cast<int32_t>(std::cos(theta) * ORBIT_MULTIPLIER_X);
    at.y = PIVOT_Y - static_cast<int32_t>(std::sin(theta) * ORBIT_MULTIPLIER_Y);
    return at;
}

void set_origin(int32_t x, int32_t y) {
    scene.origin_x = x;
    scene.origin_y = y;
    scene.picture_x = x + PICTURE_OFFSET_X;
    scene.picture_y = y + PICTURE_OFFSET_Y;
}

// The first layer in the marker colour, or none: drawing order decides among equals.
static const ShapeLayer* find_marker_layer(const ShapeSet& picture) {
    for (int i = 0; i < picture.layer_count; ++i) {
        const ShapeLayer& layer = picture.layers[i];
        if (layer.red == MARKER_RED && layer.green == MARKER_GREEN && layer.blue == MARKER_BLUE)
            return &layer;
    }
    return nullptr;
}

// The outline's record area holds OUTLINE_RECORDS grains; a longer marker gets no wall at all.
static void build_wall(const ShapeLayer* marker) {
    if (marker == nullptr) return;
    int n = marker->point_count;
    if (n < 1 || n >= OUTLINE_RECORDS) return;
    for (int j = 0; j < n; ++j) {
        const ShapePoint& point = marker->points[j];
        add_particle(&scene.scene_particles[SAND_RECORDS + j],
                     static_cast<int16_t>(scene.picture_x + point.x),
                     static_cast<int16_t>(scene.picture_y + point.y),
                     OUTLINE_GREY, OUTLINE_GREY, OUTLINE_GREY, REST_FIXED);
    }
}

// Five colours interleaved pass by pass, all into one cell; the sand step spreads them.
static void pour_sand() {
    static const uint8_t colors[SAND_GROUPS][3] = {
        {255, 255, 0}, {255, 255, 255}, {255, 128, 0}, {128, 255, 0}, {0, 255, 255},
    };
    int16_t x = static_cast<int16_t>(scene.origin_x);
    int16_t y = static_cast<int16_t>(scene.origin_y + POUR_OFFSET_Y);
    for (int i = 0; i < SAND_PER_GROUP; ++i) {
        for (int group = 0; group < SAND_GROUPS; ++group) {
            const uint8_t* c = colors[group];
            add_particle(&scene.scene_particles[group * SAND_PER_GROUP + i], x, y,
                         c[0], c[1], c[2], SAND_REST);
        }
    }
}

// Black through dark blue to a greyish blue at the middle entries and back to black; the
// ring pattern and two identical sine periods down the rows.
void prepare_scene_background() {
    set_palette_ramp(0, 64, 0, 0, 0, 32, 32, 128);
    set_palette_ramp(64, 64, 32, 32, 128, 64, 64, 128);
    set_palette_ramp(128, 64, 64, 64, 128, 0, 0, 32);
    set_palette_ramp(192, 64, 0, 0, 32, 0, 0, 0);
    background.pattern = PATTERN_RINGS;
    fill_wave_table(0.0f, 360.0f, 0, 128, 128, ROW_WAVE);
    fill_wave_table(0.0f, 360.0f, 128, 128, 128, ROW_WAVE);
}

void build_scene_from(const ShapeSet& picture) {
    VesselPosition at = vessel_position(scene.orbit_angle);
    set_origin(at.x, at.y);
    build_wall(find_marker_layer(picture));
    pour_sand();
    prepare_scene_background();
}

void build_scene() { build_scene_from(vessel_picture); }

void reset_scene() { std::memset(&scene, 0, sizeof scene); }
