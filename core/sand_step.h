// One step of the sand: every live grain looks at its eight neighbours, may move one cell,
// and is drawn into the locked surface.
#pragma once

#include <cstdint>

// Neighbour bits around a cell, clockwise from below, with the ends repeated so that entry
// d - 1 and d + 1 are always the two ring neighbours of direction d (1..8).
extern const uint8_t NEIGHBOUR_RING[10];

// The return rule's geometry relative to the vessel's origin, which keeps the hourglass running:
// a grain that would enter a trigger cell (origin_x +- RETURN_TRIGGER_DX, origin_y +
// RETURN_TRIGGER_DY), just below the lower bulb's widest part, lands on (origin_x +-
// RETURN_LANDING_DX, origin_y + RETURN_LANDING_DY), in the middle of the upper bulb, instead.
constexpr int32_t RETURN_TRIGGER_DX = 24;
constexpr int32_t RETURN_TRIGGER_DY = 64;
constexpr int32_t RETURN_LANDING_DX = 8;
constexpr int32_t RETURN_LANDING_DY = -40;

// Steps and draws every grain of the pool. Grains that would enter (origin_x +-
// RETURN_TRIGGER_DX, trigger_y) land on (origin_x +- RETURN_LANDING_DX, return_y) instead.
void step_sand(int32_t origin_x, int32_t return_y, int32_t trigger_y);
