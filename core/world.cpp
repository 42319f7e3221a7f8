// The sand world's storage, its start-up state and the grain pool's one way in.
#include "world.h"

#include <cstring>

World world;

namespace {

// The table is filled before main, so the scene and the step never see an unprepared world.
[[maybe_unused]] const bool world_ready = (init_world(), true);

}  // namespace

void add_particle(Particle* particle, int16_t x, int16_t y,
                  uint8_t red, uint8_t green, uint8_t blue, uint8_t rest) {
    ParticlePool& pool = world.pool;
    if (pool.count >= MAX_PARTICLES) return;  // full: refused silently, nothing changes

    pool.entries[pool.count] = particle;
    particle->slot = pool.count;
    particle->x = wrap_coordinate(x, WORLD_WIDTH);
    particle->y = wrap_coordinate(y, WORLD_HEIGHT);
    particle->red = red;
    particle->green = green;
    particle->blue = blue;
    particle->rest = rest;
    ++world.grid.counts[cell_index(particle->x, particle->y)];
    ++pool.count;
}

void init_world() {
    world.pool.count = 0;  // entries at or above count are never read, so they stay as they are
    std::memset(world.grid.counts, 0, sizeof world.grid.counts);
    std::memset(world.flow.pulls, 0, sizeof world.flow.pulls);

    // A fixed linear congruential generator, so that every run steps the sand identically.
    // The byte kept is bits 16..23 of each new state.
    uint32_t state = 1;
    for (uint8_t& byte : world.random.bytes) {
        state = state * 214013u + 2531011u;
        byte = static_cast<uint8_t>(state >> 16);
    }
    world.random.cursor = 0;
}

uint8_t next_byte() {
    return world.random.bytes[world.random.cursor++];
}
