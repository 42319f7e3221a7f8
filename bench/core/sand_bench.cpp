// The sand step alone, per grain: at the scene's 3,194 grains and at a full pool.
#include <benchmark/benchmark.h>

#include "bench_scene.h"
#include "sand_step.h"
#include "scene.h"
#include "world.h"

static void report_per_grain(benchmark::State& state) {
    state.counters["grains"] = world.pool.count;
    state.counters["per_grain"] = benchmark::Counter(
        static_cast<double>(world.pool.count), benchmark::Counter::kIsIterationInvariantRate |
                                                   benchmark::Counter::kInvert);
}

// One step with the return rule where the vessel stands, as the frame update calls it.
static void step_at_vessel() {
    step_sand(scene.origin_x, scene.origin_y + RETURN_LANDING_DY,
              scene.origin_y + RETURN_TRIGGER_DY);
}

static void step_scene_sand(benchmark::State& state) {
    warm_scene(32);
    for (auto _ : state) {
        step_at_vessel();
        benchmark::ClobberMemory();
    }
    report_per_grain(state);
}
BENCHMARK(step_scene_sand)->Unit(benchmark::kMicrosecond);

// The scene plus grains scattered over the whole world up to the pool's capacity (a fifth of
// all cells), placed by a fixed generator so every run steps the same world.
static void step_full_pool(benchmark::State& state) {
    static Particle extra[MAX_PARTICLES];
    warm_scene(32);
    uint32_t seed = 12345;
    for (int i = 0; world.pool.count < MAX_PARTICLES; ++i) {
        seed = seed * 1664525u + 1013904223u;
        int16_t x = static_cast<int16_t>((seed >> 8) % WORLD_WIDTH);
        seed = seed * 1664525u + 1013904223u;
        int16_t y = static_cast<int16_t>((seed >> 8) % WORLD_HEIGHT);
        add_particle(&extra[i], x, y, 200, 180, 90, 6);
    }
    for (int i = 0; i < 60; ++i)
        step_at_vessel();
    for (auto _ : state) {
        step_at_vessel();
        benchmark::ClobberMemory();
    }
    report_per_grain(state);
}
BENCHMARK(step_full_pool)->Unit(benchmark::kMicrosecond);
