// The stand of the hourglass: two oval plates and two turned pillars, seen from the front and lit
// from the upper left. Gives every cell of the picture a measure of how far inside the stand it
// lies and how bright the stand is there; the generator cuts the region and the grey levels
// from these two fields.
#pragma once

#include <vector>

constexpr int PICTURE_WIDTH = 132;
constexpr int PICTURE_HEIGHT = 256;

constexpr double OUTSIDE_STAND = -1e9;  // no part of the stand reaches the cell's row

struct StandCell {
    double inside;      // cells from the silhouette, positive inside
    double front;       // the same measure for the plates alone (they stand in front)
    double brightness;  // plate shading where the plates cover the cell
    double pillar_brightness;
};

// cells[y * PICTURE_WIDTH + x]
std::vector<StandCell> shade_stand();
