// What changed from one sand step to the next, so that a buffer the compositor gave back is
// brought up to date by rewriting only that, and the compositor repaints only that. Most of a
// step's change is the glass and its sand: about a tenth of the frame.
#pragma once

#include <cstdint>

#include "frame_fit.h"

constexpr int32_t CHANGE_HISTORY = 8;

struct FrameChanges {
    FrameArea areas[CHANGE_HISTORY];  // areas[g % CHANGE_HISTORY]: what step g changed
    uint64_t newest;                  // the last step recorded; 0: none
};

// The smallest area holding every pixel that differs between two 640 x 480 frames of 4-byte
// pixels (pitch bytes a row); empty when they are equal.
FrameArea changed_area(const uint8_t* now, const uint8_t* before, int32_t pitch);

// Step number step changed area; steps are recorded in order, one after the other.
void record_change(FrameChanges& changes, uint64_t step, const FrameArea& area);

// What changed after step since, up to the newest step: the whole frame when since is 0 (a
// buffer or surface that shows nothing yet) or older than the history.
FrameArea changes_since(const FrameChanges& changes, uint64_t since);

// The smallest area holding both.
FrameArea unite(const FrameArea& a, const FrameArea& b);
