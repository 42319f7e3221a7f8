// Buffers the compositor reads: each one a memfd of its own, mapped once, described to the
// compositor as one wl_buffer in XRGB8888 (the core's 32-bit layout, little-endian). No heap
// memory: the mapping is the buffer.
#pragma once

#include <cstddef>
#include <cstdint>

struct wl_buffer;
struct wl_shm;

struct ShmBuffer {
    wl_buffer* buffer;  // nullptr: not made
    uint8_t* pixels;
    size_t size;
    int32_t width;
    int32_t height;
    int32_t pitch;
    bool busy;      // attached and not released yet: not to be written
    uint64_t step;  // the sand step whose frame it holds; 0: none
};

// Makes a width x height buffer, all black; false (with errno set) when the memory or the pool
// cannot be had. The buffer's release clears busy.
bool make_shm_buffer(wl_shm* shm, ShmBuffer& buffer, int32_t width, int32_t height);
void free_shm_buffer(ShmBuffer& buffer);
