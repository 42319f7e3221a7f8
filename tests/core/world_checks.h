// Checks the world's bookkeeping: every live grain stands on the grid, every cell's count equals
// the live grains standing in it, and the counts add up to the pool's count. A world that holds
// stale entries (a record added twice) fails the per-cell check once that grain has moved, since
// the count its first add left behind belongs to no live grain.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "world.h"

inline ::testing::AssertionResult world_is_consistent(const World& w) {
    if (w.pool.count < 0 || w.pool.count > MAX_PARTICLES)
        return ::testing::AssertionFailure() << "pool count " << w.pool.count;

    std::vector<uint32_t> standing(WORLD_CELLS, 0);
    for (int32_t i = 0; i < w.pool.count; ++i) {
        const Particle* g = w.pool.entries[i];
        if (g == nullptr) return ::testing::AssertionFailure() << "entry " << i << " is empty";
        if (g->slot != i) continue;
        if (g->x < 0 || g->x >= WORLD_WIDTH || g->y < 0 || g->y >= WORLD_HEIGHT)
            return ::testing::AssertionFailure()
                   << "grain " << i << " off the grid at (" << g->x << ", " << g->y << ")";
        ++standing[cell_index(g->x, g->y)];
    }

    int64_t sum = 0;
    for (int cell = 0; cell < WORLD_CELLS; ++cell) {
        sum += w.grid.counts[cell];
        if (w.grid.counts[cell] != standing[cell])
            return ::testing::AssertionFailure()
                   << "cell (" << cell / WORLD_HEIGHT << ", " << cell % WORLD_HEIGHT << ") counts "
                   << w.grid.counts[cell] << " but holds " << standing[cell] << " grains";
    }
    if (sum != w.pool.count)
        return ::testing::AssertionFailure()
               << "counts add up to " << sum << ", pool holds " << w.pool.count;
    return ::testing::AssertionSuccess();
}
