// Input from every seat: the ending rules applied to keys, buttons, touches and the pointer's
// position; the cursor hidden over the program's surfaces.
#include <unistd.h>
#include <wayland-client.h>

#include "client.h"

static View* view_of(wl_surface* surface) {
    return surface != nullptr ? static_cast<View*>(wl_surface_get_user_data(surface)) : nullptr;
}

static void pointer_at(const View* view, wl_fixed_t x, wl_fixed_t y) {
    if (view == nullptr) return;
    if (pointer_ends(pointer_watch, own_window, view->origin_x + wl_fixed_to_double(x),
                     view->origin_y + wl_fixed_to_double(y)))
        end_requested = true;
}

static void on_pointer_enter(void* data, wl_pointer* pointer, uint32_t serial, wl_surface* surface,
                             wl_fixed_t x, wl_fixed_t y) {
    Seat& seat = *static_cast<Seat*>(data);
    wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
    seat.pointer_view = view_of(surface);
    pointer_at(seat.pointer_view, x, y);
}

static void on_pointer_leave(void* data, wl_pointer*, uint32_t, wl_surface*) {
    static_cast<Seat*>(data)->pointer_view = nullptr;
}

static void on_pointer_motion(void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
    pointer_at(static_cast<Seat*>(data)->pointer_view, x, y);
}

static void on_pointer_button(void*, wl_pointer*, uint32_t, uint32_t, uint32_t, uint32_t state) {
    if (state == WL_POINTER_BUTTON_STATE_PRESSED && press_ends(own_window, InputKind::BUTTON, 0))
        end_requested = true;
}

static void on_pointer_axis(void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {}
static void on_pointer_frame(void*, wl_pointer*) {}
static void on_pointer_axis_source(void*, wl_pointer*, uint32_t) {}
static void on_pointer_axis_stop(void*, wl_pointer*, uint32_t, uint32_t) {}
static void on_pointer_axis_discrete(void*, wl_pointer*, uint32_t, int32_t) {}
static void on_pointer_axis_value120(void*, wl_pointer*, uint32_t, int32_t) {}

static const wl_pointer_listener POINTER_LISTENER = {
    .enter = on_pointer_enter,
    .leave = on_pointer_leave,
    .motion = on_pointer_motion,
    .button = on_pointer_button,
    .axis = on_pointer_axis,
    .frame = on_pointer_frame,
    .axis_source = on_pointer_axis_source,
    .axis_stop = on_pointer_axis_stop,
    .axis_discrete = on_pointer_axis_discrete,
    .axis_value120 = on_pointer_axis_value120,  // newer than the version bound: never comes
};

// Keys are read as Linux key codes; no keymap is needed, so its descriptor is closed at once.
static void on_keymap(void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t) { close(fd); }
static void on_keyboard_enter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
static void on_keyboard_leave(void*, wl_keyboard*, uint32_t, wl_surface*) {}

static void on_key(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t state) {
    if (state == WL_KEYBOARD_KEY_STATE_PRESSED && press_ends(own_window, InputKind::KEY, key))
        end_requested = true;
}

static void on_modifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
static void on_repeat_info(void*, wl_keyboard*, int32_t, int32_t) {}

static const wl_keyboard_listener KEYBOARD_LISTENER = {
    .keymap = on_keymap,
    .enter = on_keyboard_enter,
    .leave = on_keyboard_leave,
    .key = on_key,
    .modifiers = on_modifiers,
    .repeat_info = on_repeat_info,
};

static void on_touch_down(void*, wl_touch*, uint32_t, uint32_t, wl_surface*, int32_t, wl_fixed_t,
                          wl_fixed_t) {
    if (press_ends(own_window, InputKind::TOUCH, 0)) end_requested = true;
}

static void on_touch_up(void*, wl_touch*, uint32_t, uint32_t, int32_t) {}
static void on_touch_motion(void*, wl_touch*, uint32_t, int32_t, wl_fixed_t, wl_fixed_t) {}
static void on_touch_frame(void*, wl_touch*) {}
static void on_touch_cancel(void*, wl_touch*) {}
static void on_touch_shape(void*, wl_touch*, int32_t, wl_fixed_t, wl_fixed_t) {}
static void on_touch_orientation(void*, wl_touch*, int32_t, wl_fixed_t) {}

static const wl_touch_listener TOUCH_LISTENER = {
    .down = on_touch_down,
    .up = on_touch_up,
    .motion = on_touch_motion,
    .frame = on_touch_frame,
    .cancel = on_touch_cancel,
    .shape = on_touch_shape,  // these two are newer than the version bound: never come
    .orientation = on_touch_orientation,
};

static void release_devices(Seat& seat, uint32_t keep) {
    if (seat.pointer != nullptr && !(keep & WL_SEAT_CAPABILITY_POINTER)) {
        wl_pointer_release(seat.pointer);
        seat.pointer = nullptr;
        seat.pointer_view = nullptr;
    }
    if (seat.keyboard != nullptr && !(keep & WL_SEAT_CAPABILITY_KEYBOARD)) {
        wl_keyboard_release(seat.keyboard);
        seat.keyboard = nullptr;
    }
    if (seat.touch != nullptr && !(keep & WL_SEAT_CAPABILITY_TOUCH)) {
        wl_touch_release(seat.touch);
        seat.touch = nullptr;
    }
}

static void on_capabilities(void* data, wl_seat* handle, uint32_t capabilities) {
    Seat& seat = *static_cast<Seat*>(data);
    if ((capabilities & WL_SEAT_CAPABILITY_POINTER) && seat.pointer == nullptr) {
        seat.pointer = wl_seat_get_pointer(handle);
        wl_pointer_add_listener(seat.pointer, &POINTER_LISTENER, &seat);
    }
    if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) && seat.keyboard == nullptr) {
        seat.keyboard = wl_seat_get_keyboard(handle);
        wl_keyboard_add_listener(seat.keyboard, &KEYBOARD_LISTENER, &seat);
    }
    if ((capabilities & WL_SEAT_CAPABILITY_TOUCH) && seat.touch == nullptr) {
        seat.touch = wl_seat_get_touch(handle);
        wl_touch_add_listener(seat.touch, &TOUCH_LISTENER, &seat);
    }
    release_devices(seat, capabilities);
}

static void on_seat_name(void*, wl_seat*, const char*) {}

static const wl_seat_listener SEAT_LISTENER = {on_capabilities, on_seat_name};

// Version 5 has every event used here and the release requests.
void bind_seat(uint32_t name, uint32_t version) {
    if (version < 5) return;
    for (Seat& seat : seats) {
        if (seat.used) continue;
        seat = {};
        seat.used = true;
        seat.name = name;
        seat.seat =
            static_cast<wl_seat*>(wl_registry_bind(globals.registry, name, &wl_seat_interface, 5));
        wl_seat_add_listener(seat.seat, &SEAT_LISTENER, &seat);
        return;
    }
}

static void release_seat(Seat& seat) {
    release_devices(seat, 0);
    wl_seat_release(seat.seat);
    seat = {};
}

void unbind_seat(uint32_t name) {
    for (Seat& seat : seats)
        if (seat.used && seat.name == name) release_seat(seat);
}

void release_seats() {
    for (Seat& seat : seats)
        if (seat.used) release_seat(seat);
}
