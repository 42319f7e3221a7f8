// A whole frame's update in each layout, against the cost of writing one 640x480x4 surface.
#include <benchmark/benchmark.h>

#include <cstring>

#include "bench_scene.h"
#include "frame_clock.h"
#include "frame_update.h"

// The update alone: the surface is not cleared between frames (the saver's blit does that).
static void update_frame_in_layout(benchmark::State& state) {
    warm_scene(static_cast<int>(state.range(0)));
    frame_clock.dt = HEADLESS_DEFAULT_DT;
    for (auto _ : state) {
        update_frame();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(update_frame_in_layout)->ArgName("bpp")->Arg(8)->Arg(16)->Arg(24)->Arg(32)
    ->Unit(benchmark::kMicrosecond);

// Every byte of one 32-bit surface written once: the yardstick for the figures above.
static void write_full_surface(benchmark::State& state) {
    static uint8_t surface[640 * 480 * 4];
    uint8_t value = 0;
    for (auto _ : state) {
        std::memset(surface, ++value, sizeof surface);
        benchmark::DoNotOptimize(surface);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * sizeof surface);
}
BENCHMARK(write_full_surface)->Unit(benchmark::kMicrosecond);
