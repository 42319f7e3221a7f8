// One step of the sand: every live grain looks at its eight neighbours, may move one cell,
// and is drawn into the locked surface.
#pragma once

#include <cstdint>

// Neighbour bits around a cell, clockwise from below, with the ends repeated so that entry
// d - 1 and d + 1 are always the two ring neighbours of direction d (1..8).
extern const uint8_t NEIGHBOUR_RING[10];

// Steps and draws every grain of the pool. Grains that would enter (origin_x +- 24, trigger_y)
// land on (origin_x +- 8, return_y) instead, which keeps the hourglass running.
void step_sand(int32_t origin_x, int32_t return_y, int32_t trigger_y);
