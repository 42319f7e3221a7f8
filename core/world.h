// The sand world: a 640 x 480 grid of cells that wraps round at every edge, a fixed pool of
// grain records, a count of grains per cell, a pull direction per cell and a table of random
// bytes. Grains are appended to the pool and never removed; whoever moves a grain keeps the
// per-cell counts in step with it.
#pragma once

#include <cstdint>

constexpr int WORLD_WIDTH = 640;
constexpr int WORLD_HEIGHT = 480;
constexpr int WORLD_CELLS = WORLD_WIDTH * WORLD_HEIGHT;
constexpr int MAX_PARTICLES = 65536;

// Degrees to radians: this value, not pi/180 to full precision, places the vessel and fills
// the wave table, so every position and every wave entry depends on it.
constexpr double DEG_TO_RAD = 0.0174532925;

// A grain with this crowding threshold is fixed: never moved, still counted and drawn.
constexpr uint8_t REST_FIXED = 255;

struct Particle {
    int32_t slot;  // the pool entry that holds this grain; the entry is live while they agree
    int16_t x;     // column, 0..639
    int16_t y;     // row, 0..479
    uint8_t red;
    uint8_t green;
    uint8_t blue;
    uint8_t rest;  // crowding threshold of the sand step; REST_FIXED never moves
};

struct ParticlePool {
    Particle* entries[MAX_PARTICLES];  // 0..count-1 filled, in the order added
    int32_t count;
};

// Per-cell grids are stored column by column: cell (x, y) is element x * 480 + y.
struct CountGrid {
    uint16_t counts[WORLD_CELLS];
};

struct FlowMap {
    uint8_t pulls[WORLD_CELLS];  // 0 pulls toward the cell below
};

struct RandomBytes {
    uint8_t bytes[256];
    uint8_t cursor;  // wraps from 255 to 0, so the sequence repeats every 256 takes
};

struct World {
    ParticlePool pool;
    CountGrid grid;
    FlowMap flow;
    RandomBytes random;
};

extern World world;

inline int cell_index(int x, int y) { return x * WORLD_HEIGHT + y; }

// A coordinate wrapped into 0..size-1: the floor modulo, for any value, negative ones included.
// Taken in 64 bits so that no sum of a coordinate and a displacement can overflow on the way.
inline int16_t wrap_coordinate(int64_t value, int32_t size) {
    const int64_t rest = value % size;
    return static_cast<int16_t>(rest < 0 ? rest + size : rest);
}

// Appends a grain at (x, y), wrapped into the world; a full pool changes nothing.
void add_particle(Particle* particle, int16_t x, int16_t y,
                  uint8_t red, uint8_t green, uint8_t blue, uint8_t rest);

// Empties the world and fills the random table. Runs as a static initialiser before main;
// tests call it again for a fresh world.
void init_world();

// The next byte of the random table.
uint8_t next_byte();
