// The golden summary lines of every layout, run in WebAssembly with its own math library: the
// report is empty when each equals the native line, and names each that differs otherwise.
#include <cstdio>
#include <cstring>

#include "golden_frames.h"
#include "headless.h"

static char report[4096];

extern "C" __attribute__((used)) const char* golden_report() {
    size_t used = 0;
    char line[256];
    for (const GoldenRun& golden : GOLDEN_RUNS) {
        HeadlessRun* run = headless_start(golden.bits_per_pixel);
        for (int frame = 1; frame <= 3000; ++frame) {
            headless_frame(run, HEADLESS_DEFAULT_DT);
            const char* want = frame == 1      ? golden.frame_1
                               : frame == 60   ? golden.frame_60
                               : frame == 3000 ? golden.frame_3000
                                               : nullptr;
            if (want == nullptr) continue;
            headless_summary(run, line, sizeof line);
            if (std::strcmp(line, want) == 0 || used >= sizeof report) continue;
            used += static_cast<size_t>(std::snprintf(report + used, sizeof report - used,
                                                      "%d bpp: %s\n   want %s\n",
                                                      golden.bits_per_pixel, line, want));
        }
    }
    return report;
}
