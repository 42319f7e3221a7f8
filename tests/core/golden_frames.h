// Summary lines of the headless frame loop at the default dt (a sixtieth of a second as a
// 32-bit float), in each layout. They pin every pixel of those frames: a change to any of the
// world's rules, the drawing or the arithmetic shows up here. Both build flavours must agree.
#pragma once

struct GoldenRun {
    int bits_per_pixel;
    const char* frame_1;
    const char* frame_60;
    const char* frame_3000;
};

inline constexpr GoldenRun GOLDEN_RUNS[] = {
    {8,
     "frames=1 count=3194 origin=519,240 orbit=0.033333335071802139 wave=0.1666666753590107 "
     "fnv=e050f429610c5ca5",
     "frames=60 count=3194 origin=519,243 orbit=2.0000001043081284 wave=10.000000521540642 "
     "fnv=dbba484615448767",
     "frames=3000 count=3194 origin=286,338 orbit=100.00000521540642 wave=500.00002607703209 "
     "fnv=2b2e69e90fcc39da"},
    {16,
     "frames=1 count=3194 origin=519,240 orbit=0.033333335071802139 wave=0.1666666753590107 "
     "fnv=a70a1669efa7a271",
     "frames=60 count=3194 origin=519,243 orbit=2.0000001043081284 wave=10.000000521540642 "
     "fnv=88b62bd2335f5483",
     "frames=3000 count=3194 origin=286,338 orbit=100.00000521540642 wave=500.00002607703209 "
     "fnv=214a8fd26cd4fdbd"},
    {24,
     "frames=1 count=3194 origin=519,240 orbit=0.033333335071802139 wave=0.1666666753590107 "
     "fnv=aba89b444fc83277",
     "frames=60 count=3194 origin=519,243 orbit=2.0000001043081284 wave=10.000000521540642 "
     "fnv=c7ce68d2a2366ffc",
     "frames=3000 count=3194 origin=286,338 orbit=100.00000521540642 wave=500.00002607703209 "
     "fnv=5f1c9c74a562a807"},
    {32,
     "frames=1 count=3194 origin=519,240 orbit=0.033333335071802139 wave=0.1666666753590107 "
     "fnv=01f56fb3ab43885b",
     "frames=60 count=3194 origin=519,243 orbit=2.0000001043081284 wave=10.000000521540642 "
     "fnv=ef331c4e44d9623e",
     "frames=3000 count=3194 origin=286,338 orbit=100.00000521540642 wave=500.00002607703209 "
     "fnv=bfd720781bde050b"},
};
