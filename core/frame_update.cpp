// One frame of the animation: the vessel moves along its ellipse, the world is shifted with it
// by whole cells, and background, picture and sand are drawn in that order.
#include "frame_update.h"

#include "frame_clock.h"
#include "pixel_format.h"
#include "background.h"
#include "sand_step.h"
#include "scene.h"

void shift_world(int32_t dx, int32_t dy) {
    ParticlePool& pool = world.pool;
    uint16_t* counts = world.grid.counts;
    for (int32_t i = pool.count - 1; i >= 0; --i) {
        Particle* grain = pool.entries[i];
        // An entry whose record was added again later is stale; the live entry moves the
        // grain, so it moves exactly once.
        if (grain->slot != i) continue;
        --counts[cell_index(grain->x, grain->y)];
        grain->x = wrap_coordinate(int64_t{grain->x} + dx, WORLD_WIDTH);
        grain->y = wrap_coordinate(int64_t{grain->y} + dy, WORLD_HEIGHT);
        ++counts[cell_index(grain->x, grain->y)];
    }
}

// One pass over the layers with the pixel size fixed at compile time, so that store_pixel's
// choice of store folds away. The layout and the layer are copied into locals: the byte stores
// could otherwise alias them, and every field would be read again for every point.
template <int BYTES>
static void draw_layers(const ShapeSet& picture, int32_t left, int32_t top, PixelFormat format) {
    format.bytes_per_pixel = BYTES;
    const ShapeLayer* const layers = picture.layers;
    const int layer_count = picture.layer_count;
    for (int i = 0; i < layer_count; ++i) {
        const ShapeLayer layer = layers[i];
        // One colour per layer: pack it once, store it per point.
        const uint32_t value = pack_color(format, layer.red, layer.green, layer.blue);
        const ShapePoint* const points = layer.points;
        for (int j = layer.point_count - 1; j >= 0; --j) {
            const uint32_t x = static_cast<uint32_t>(left + points[j].x);
            const uint32_t y = static_cast<uint32_t>(top + points[j].y);
            if (x >= format.width || y >= format.height) continue;
            store_pixel(format, x, y, value);
        }
    }
}

void draw_shape_set(const ShapeSet& picture, int32_t left, int32_t top) {
    switch (pixel_format.bytes_per_pixel) {
    case 1: draw_layers<1>(picture, left, top, pixel_format); break;
    case 2: draw_layers<2>(picture, left, top, pixel_format); break;
    case 3: draw_layers<3>(picture, left, top, pixel_format); break;
    case 4: draw_layers<4>(picture, left, top, pixel_format); break;
    default: break;  // a layout that stores nothing
    }
}

void draw_picture() { draw_shape_set(vessel_picture, scene.picture_x, scene.picture_y); }

void update_frame() {
    double d = ORBIT_DEGREES_PER_SECOND * static_cast<double>(frame_clock.dt);
    scene.wave_phase = scene.wave_phase + d * WAVE_PHASE_PER_DEGREE;
    scene.orbit_angle = scene.orbit_angle + d;

    // The position comes afresh from the angle; the world moves by the difference of the
    // truncated positions, so the shifts always add up to the origin's displacement.
    VesselPosition at = vessel_position(scene.orbit_angle);
    int32_t dx = at.x - scene.origin_x;
    int32_t dy = at.y - scene.origin_y;
    set_origin(at.x, at.y);
    if (dx != 0 || dy != 0) shift_world(dx, dy);

    draw_background(scene.wave_phase);
    draw_picture();
    step_sand(scene.origin_x, scene.origin_y + RETURN_LANDING_DY,
              scene.origin_y + RETURN_TRIGGER_DY);
}
