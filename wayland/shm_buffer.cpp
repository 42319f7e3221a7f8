// Buffers in shared memory.
#include "shm_buffer.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

static void on_release(void* data, wl_buffer*) { static_cast<ShmBuffer*>(data)->busy = false; }

static const wl_buffer_listener BUFFER_LISTENER = {on_release};

bool make_shm_buffer(wl_shm* shm, ShmBuffer& buffer, int32_t width, int32_t height) {
    const int32_t pitch = width * 4;
    const size_t size = static_cast<size_t>(pitch) * static_cast<size_t>(height);
    const int fd = memfd_create("sandglass-wayland", MFD_CLOEXEC);
    if (fd < 0) return false;
    if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
        close(fd);
        return false;
    }
    void* pixels = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (pixels == MAP_FAILED) {
        close(fd);
        return false;
    }
    // The buffer keeps what it needs of the pool; neither the pool nor the descriptor is used
    // again.
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<int32_t>(size));
    buffer.buffer =
        wl_shm_pool_create_buffer(pool, 0, width, height, pitch, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    buffer.pixels = static_cast<uint8_t*>(pixels);
    buffer.size = size;
    buffer.width = width;
    buffer.height = height;
    buffer.pitch = pitch;
    buffer.busy = false;
    wl_buffer_add_listener(buffer.buffer, &BUFFER_LISTENER, &buffer);
    return true;
}

void free_shm_buffer(ShmBuffer& buffer) {
    if (buffer.buffer == nullptr) return;
    wl_buffer_destroy(buffer.buffer);
    munmap(buffer.pixels, buffer.size);
    buffer = {};
}
