// The two drawings of every frame besides the grains: the background and the vessel picture.
#include <benchmark/benchmark.h>

#include "bench_scene.h"
#include "background.h"
#include "frame_update.h"
#include "scene.h"

static void draw_background_rings(benchmark::State& state) {
    warm_scene(32);
    double phase = scene.wave_phase;
    for (auto _ : state) {
        draw_background(phase);
        phase += 0.16666667;
        benchmark::ClobberMemory();
    }
    state.counters["pixels"] = 320 * 256;
}
BENCHMARK(draw_background_rings)->Unit(benchmark::kMicrosecond);

static void draw_vessel_picture(benchmark::State& state) {
    warm_scene(32);
    for (auto _ : state) {
        draw_picture();
        benchmark::ClobberMemory();
    }
    state.counters["points"] = 16982;
}
BENCHMARK(draw_vessel_picture)->Unit(benchmark::kMicrosecond);
