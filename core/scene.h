// The vessel scene: where the vessel stands on its path, the phases of its motion and the
// grain records of its wall and sand. build_scene sets the world up once.
#pragma once

#include <cstdint>

#include "vessel_picture.h"
#include "world.h"

constexpr int32_t PIVOT_X = 320;  // centre of the vessel's elliptic path
constexpr int32_t PIVOT_Y = 240;
constexpr int32_t PICTURE_OFFSET_X = -66;  // picture's top-left corner relative to the origin
constexpr int32_t PICTURE_OFFSET_Y = -120;
constexpr double ORBIT_MULTIPLIER_X = -200.0;
constexpr double ORBIT_MULTIPLIER_Y = -100.0;
// The vessel's speed along its path, and the wave's phase speed as a multiple of it.
constexpr double ORBIT_DEGREES_PER_SECOND = 2.0;
constexpr double WAVE_PHASE_PER_DEGREE = 5.0;

constexpr int SAND_GROUPS = 5;
constexpr int SAND_PER_GROUP = 500;
constexpr int SAND_RECORDS = SAND_GROUPS * SAND_PER_GROUP;  // records 0..2499
constexpr int OUTLINE_RECORDS = 800;                        // records 2500..3299
constexpr int SCENE_RECORDS = SAND_RECORDS + OUTLINE_RECORDS;

// The sand is poured into this cell relative to the origin (picture cell (66, 46), near the
// top of the upper bulb, straight above the neck).
constexpr int32_t POUR_OFFSET_Y = -74;
constexpr uint8_t SAND_REST = 6;
constexpr uint8_t OUTLINE_GREY = 96;

// The colour that marks the layer tracing the glass.
constexpr uint8_t MARKER_RED = 0;
constexpr uint8_t MARKER_GREEN = 0;
constexpr uint8_t MARKER_BLUE = 255;

struct SceneState {
    double orbit_angle;  // degrees; advanced only by the frame update
    double wave_phase;   // advanced only by the frame update
    int32_t origin_x;    // the vessel's reference point in world cells
    int32_t origin_y;
    int32_t picture_x;   // where picture column 0 and row 0 are drawn
    int32_t picture_y;
    Particle scene_particles[SCENE_RECORDS];
};

extern SceneState scene;

struct VesselPosition {
    int32_t x;
    int32_t y;
};

// Where the origin stands at an orbit angle in degrees: the ellipse's point, each product
// truncated toward zero.
VesselPosition vessel_position(double orbit_angle);

// Stores a new origin and the picture corner that goes with it.
void set_origin(int32_t x, int32_t y);

// Places the vessel, builds the wall from the marker layer of vessel_picture, pours the sand
// and prepares the background. Called once, with the world and background in their initial state.
void build_scene();

// The background's part of the scene: its palette ramps, the ring pattern and the row wave.
void prepare_scene_background();

// The same from any picture (tests give it pictures without a marker, or with too many points).
void build_scene_from(const ShapeSet& picture);

// Zeroes the scene state; tests use it with init_world and init_background for a fresh start.
void reset_scene();
