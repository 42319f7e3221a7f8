// Input that ends the program.
#include "ending.h"

bool press_ends(bool own_window, InputKind kind, uint32_t key_code) {
    if (!own_window) return true;
    return kind == InputKind::KEY && (key_code == KEY_CODE_Q || key_code == KEY_CODE_ESCAPE);
}

static double distance(double a, double b) { return a > b ? a - b : b - a; }

bool pointer_ends(PointerWatch& watch, bool own_window, double x, double y) {
    if (own_window) return false;
    if (!watch.seen) {
        watch = {true, x, y};
        return false;
    }
    return distance(x, watch.x) + distance(y, watch.y) > POINTER_TOLERANCE;
}
