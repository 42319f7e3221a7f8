// Moves the compositor's pointer through the virtual-pointer protocol (headless compositors
// have no pointer of their own): one relative move for each "DX DY" line on standard input,
// each sent once the compositor has the last. One device for all of them, kept until the
// input ends: a device made per move would reach a client only after its move.
// usage: pointer_nudge < moves    exit 0 at the end of input, 1 without a compositor or the
// protocol.
#include <wayland-client.h>

#include <cstdio>
#include <cstring>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

static zwlr_virtual_pointer_manager_v1* manager;

static void on_global(void*, wl_registry* registry, uint32_t name, const char* interface,
                      uint32_t) {
    if (!std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name))
        manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}

static void on_global_remove(void*, wl_registry*, uint32_t) {}

static const wl_registry_listener REGISTRY_LISTENER = {on_global, on_global_remove};

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "pointer_nudge: no compositor\n");
        return 1;
    }
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &REGISTRY_LISTENER, nullptr);
    wl_display_roundtrip(display);
    if (manager == nullptr) {
        std::fprintf(stderr, "pointer_nudge: no virtual pointer protocol\n");
        return 1;
    }
    zwlr_virtual_pointer_v1* pointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, nullptr);
    wl_display_roundtrip(display);
    double dx = 0.0;
    double dy = 0.0;
    uint32_t time_ms = 0;
    while (std::scanf("%lf %lf", &dx, &dy) == 2) {
        time_ms += 10;
        zwlr_virtual_pointer_v1_motion(pointer, time_ms, wl_fixed_from_double(dx),
                                       wl_fixed_from_double(dy));
        zwlr_virtual_pointer_v1_frame(pointer);
        wl_display_roundtrip(display);
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
