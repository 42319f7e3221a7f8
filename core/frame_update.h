// One frame of the animation: advance the path and the wave, move the world with the vessel,
// draw background and picture, then step and draw the sand.
#pragma once

#include <cstdint>

#include "vessel_picture.h"

// Runs one frame with the dt of the frame clock. The surface must be locked.
void update_frame();

// Moves every grain of the pool by (dx, dy), wrapped, keeping the counts in step.
void shift_world(int32_t dx, int32_t dy);

// Draws every layer of vessel_picture with its top-left corner at the scene's picture position.
void draw_picture();

// Draws every layer of a picture at (left, top); pixels off the surface are dropped.
void draw_shape_set(const ShapeSet& picture, int32_t left, int32_t top);
