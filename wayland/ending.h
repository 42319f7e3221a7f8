// When input ends the program. As a screen saver, any key, button or touch ends it, and so does
// a pointer moved more than 4 pixels (x plus y distance) from where it was first seen, which
// forgives a jittering mouse. In its own window only q and Escape do.
#pragma once

#include <cstdint>

constexpr double POINTER_TOLERANCE = 4.0;

// Linux input key codes, as wl_keyboard reports them without a keymap.
constexpr uint32_t KEY_CODE_ESCAPE = 1;
constexpr uint32_t KEY_CODE_Q = 16;

enum class InputKind { KEY, BUTTON, TOUCH };

// True when a press of this kind (key: its code) ends the program.
bool press_ends(bool own_window, InputKind kind, uint32_t key_code);

// Where the pointer was first seen, in the compositor's global coordinates.
struct PointerWatch {
    bool seen;
    double x;
    double y;
};

// The pointer is at (x, y): true when it ends the saver. The first position only sets the
// reference.
bool pointer_ends(PointerWatch& watch, bool own_window, double x, double y);
