// The marker layer's run table: the cells that trace the glass and become the wall of the world.
#pragma once

struct MarkerRun {
    int row;
    int first;  // inclusive column range
    int last;
};

constexpr int MARKER_RUN_COUNT = 324;
extern const MarkerRun MARKER_RUNS[MARKER_RUN_COUNT];
