// The sand step: each live grain reads the counts of its eight neighbour cells, is pushed away
// from the fuller side of a crowd and pulled by its cell's flow, picks one of three cells around
// the push with a random byte, moves there if the cell is free, and is drawn into the surface.
#include "sand_step.h"

#include "pixel_format.h"
#include "world.h"

constexpr uint8_t NEIGHBOUR_RING[10] = {128, 1, 2, 4, 8, 16, 32, 64, 128, 1};

namespace {

// Neighbour k (bit 1 << k) lies at these offsets: clockwise from below, rows growing downward.
// A pull of value k points at the same neighbour.
constexpr int8_t NEIGHBOUR_DX[8] = {0, -1, -1, -1, 0, 1, 1, 1};
constexpr int8_t NEIGHBOUR_DY[8] = {1, 1, 0, -1, -1, -1, 0, 1};

// Direction code 1..8 by the signs of (push_x, push_y), each sign + 1; 0 is no direction.
constexpr uint8_t DIRECTION[3][3] = {{4, 3, 2}, {5, 0, 1}, {6, 7, 8}};

constexpr int bit_number(uint8_t bit) {
    int k = 0;
    while ((1 << k) != bit) ++k;
    return k;
}

// The neighbour (0..7) that a choice byte's low two bits pick, by the signs of the push (each
// sign + 1): the ring entry of the direction itself for 0 and 2, the one before it for 1, the
// one after it for 3. Direction and ring lookups folded into one table.
struct ChoiceTable {
    uint8_t neighbour[3][3][4];
};
constexpr ChoiceTable make_choices() {
    ChoiceTable table{};
    constexpr int CHOICE[4] = {0, -1, 0, 1};
    for (int sx = 0; sx < 3; ++sx)
        for (int sy = 0; sy < 3; ++sy) {
            const int d = DIRECTION[sx][sy];
            if (d == 0) continue;  // no direction: the step takes no choice byte
            for (int r = 0; r < 4; ++r)
                table.neighbour[sx][sy][r] =
                    static_cast<uint8_t>(bit_number(NEIGHBOUR_RING[d + CHOICE[r]]));
        }
    return table;
}
constexpr ChoiceTable CHOICES = make_choices();

// Offset in a per-cell grid from a cell to its neighbour k, for a cell away from the edges.
constexpr int NEIGHBOUR_OFFSET[8] = {1, 1 - WORLD_HEIGHT, -WORLD_HEIGHT, -1 - WORLD_HEIGHT,
                                     -1, WORLD_HEIGHT - 1, WORLD_HEIGHT, WORLD_HEIGHT + 1};

// The push that a cell's flow value adds: values 0..7 pull toward neighbour 1 << value, larger
// values pull nowhere. Indexed by the whole byte so that no value needs a test.
struct PullTable {
    int8_t x[256];
    int8_t y[256];
};
constexpr PullTable make_pulls() {
    PullTable table{};
    for (int k = 0; k < 8; ++k) {
        table.x[k] = NEIGHBOUR_DX[k];
        table.y[k] = NEIGHBOUR_DY[k];
    }
    return table;
}
constexpr PullTable PULLS = make_pulls();

// The neighbour that a choice byte's low two bits pick when the pull alone sets the direction,
// by the pull's value 0..7: the same as the choice table for that pull's push.
struct PullChoiceTable {
    uint8_t neighbour[8][4];
};
constexpr PullChoiceTable make_pull_choices() {
    PullChoiceTable table{};
    for (int pull = 0; pull < 8; ++pull)
        for (int r = 0; r < 4; ++r)
            table.neighbour[pull][r] =
                CHOICES.neighbour[NEIGHBOUR_DX[pull] + 1][NEIGHBOUR_DY[pull] + 1][r];
    return table;
}
constexpr PullChoiceTable PULL_CHOICES = make_pull_choices();

inline int sign(int value) { return (value > 0) - (value < 0); }

// Where a grain entering a trigger cell lands instead. A trigger column outside the world can
// never be entered, since neighbour columns are compared as plain numbers.
struct ReturnRule {
    int trigger_y;
    int right_trigger, right_x;  // right_trigger is -1 when off the world
    int left_trigger, left_x;
    int return_y;
};

ReturnRule make_return_rule(int32_t origin_x, int32_t return_y, int32_t trigger_y) {
    const int64_t right = int64_t{origin_x} + RETURN_TRIGGER_DX;
    const int64_t left = int64_t{origin_x} - RETURN_TRIGGER_DX;
    ReturnRule rule;
    rule.trigger_y = trigger_y;
    rule.right_trigger = (right >= 0 && right < WORLD_WIDTH) ? static_cast<int>(right) : -1;
    rule.left_trigger = (left >= 0 && left < WORLD_WIDTH) ? static_cast<int>(left) : -1;
    // The vessel's orbit keeps the return cells inside the world; should a caller place them
    // outside, they wrap like every other coordinate, so no count is written off the grid.
    rule.right_x = wrap_coordinate(int64_t{origin_x} + RETURN_LANDING_DX, WORLD_WIDTH);
    rule.left_x = wrap_coordinate(int64_t{origin_x} - RETURN_LANDING_DX, WORLD_WIDTH);
    rule.return_y = wrap_coordinate(return_y, WORLD_HEIGHT);
    return rule;
}

// The grains lie anywhere, so the cells a visit reads are rarely in the nearest cache. Asking
// for those of a grain a few entries ahead lets their loads overlap with the visits between.
constexpr int PREFETCH_AHEAD = 4;

// What one pass over the pool works with, read once per step.
struct Pass {
    uint16_t* counts;
    const uint8_t* pulls;
    const uint8_t* bytes;
    ReturnRule rule;
};

// Offsets from a cell to the neighbour columns and rows. Away from the edges they are constants;
// on an edge they wrap, chosen by comparison, never by division.
struct Steps {
    int left, right, above, below;
};
template <bool EDGE>
inline Steps steps_at(int x, int y) {
    if constexpr (!EDGE) {
        return {-WORLD_HEIGHT, WORLD_HEIGHT, -1, 1};
    } else {
        return {x == 0 ? WORLD_CELLS - WORLD_HEIGHT : -WORLD_HEIGHT,
                x == WORLD_WIDTH - 1 ? WORLD_HEIGHT - WORLD_CELLS : WORLD_HEIGHT,
                y == 0 ? WORLD_HEIGHT - 1 : -1, y == WORLD_HEIGHT - 1 ? 1 - WORLD_HEIGHT : 1};
    }
}

// Looks at the neighbours of the grain at (x, y) and moves it by at most one cell (or through
// the return rule), keeping the counts in step. Inlined into each pixel size's loop: a call per
// grain would cost a good part of the visit. The decisions stay branches although they are close
// to random in a heap: as selects, every byte taken would wait on the counts just read, and the
// next grain's choice on that byte.
template <bool EDGE>
[[gnu::always_inline]] inline void move_grain(const Pass& pass, Particle* g, int x, int y,
                                              uint8_t& cursor) {
    const Steps s = steps_at<EDGE>(x, y);
    const int own = x * WORLD_HEIGHT + y;
    uint16_t* const counts = pass.counts;
    const uint16_t* const here = counts + own;
    const uint16_t* const left = here + s.left;
    const uint16_t* const right = here + s.right;
    const int above = here[s.above];
    const int below = here[s.below];
    const int above_left = left[s.above], below_left = left[s.below];
    const int above_right = right[s.above], below_right = right[s.below];
    const int left_column = above_left + left[0] + below_left;
    const int right_column = above_right + right[0] + below_right;

    int k;  // the chosen neighbour
    if (left_column + right_column + above + below < g->rest) {
        // Not crowded: only the pull counts, and it alone names the direction.
        const uint8_t pull = pass.pulls[own];
        if (pull >= 8) return;  // no pull: no direction, no byte, no move
        k = PULL_CHOICES.neighbour[pull][pass.bytes[cursor++] & 3];
    } else {
        int push_x = left_column - right_column;
        int push_y = (above_left + above + above_right) - (below_left + below + below_right);
        if (push_x == 0 && push_y == 0) {  // a balanced crowd: a random side in each axis
            push_x = (pass.bytes[cursor++] & 1) * 2 - 1;
            push_y = (pass.bytes[cursor++] & 1) * 2 - 1;
        }
        const uint8_t pull = pass.pulls[own];
        push_x += PULLS.x[pull];
        push_y += PULLS.y[pull];
        if (push_x == 0 && push_y == 0) return;  // no direction: no byte, no move
        k = CHOICES.neighbour[sign(push_x) + 1][sign(push_y) + 1][pass.bytes[cursor++] & 3];
    }

    int target;
    if constexpr (EDGE) {
        const int dx = NEIGHBOUR_DX[k], dy = NEIGHBOUR_DY[k];
        target = own + (dx < 0 ? s.left : dx > 0 ? s.right : 0) +
                 (dy < 0 ? s.above : dy > 0 ? s.below : 0);
    } else {
        target = own + NEIGHBOUR_OFFSET[k];
    }
    if (counts[target] != 0) return;  // only the chosen cell is tested; the byte is spent

    int tx = x + NEIGHBOUR_DX[k];
    int ty = y + NEIGHBOUR_DY[k];
    if constexpr (EDGE) {
        tx = tx < 0 ? WORLD_WIDTH - 1 : tx == WORLD_WIDTH ? 0 : tx;
        ty = ty < 0 ? WORLD_HEIGHT - 1 : ty == WORLD_HEIGHT ? 0 : ty;
    }
    const ReturnRule& rule = pass.rule;
    if (ty == rule.trigger_y && (tx == rule.right_trigger || tx == rule.left_trigger)) {
        tx = tx == rule.right_trigger ? rule.right_x : rule.left_x;
        ty = rule.return_y;  // the return cell is not tested
        target = tx * WORLD_HEIGHT + ty;
    }
    --counts[own];
    ++counts[target];
    g->x = static_cast<int16_t>(tx);
    g->y = static_cast<int16_t>(ty);
}

// Asks for the three count columns and the pull byte around a grain's cell. The addresses are
// formed as integers: a hint never faults, whatever the record holds. Forced inline: GCC sees
// a function of nothing but hints as free of effects and drops calls to it.
[[gnu::always_inline]] inline void prefetch_cells(const Pass& pass, const Particle* g) {
    const uintptr_t cell = uintptr_t{static_cast<uint16_t>(g->x)} * WORLD_HEIGHT +
                           static_cast<uint16_t>(g->y);
    const uintptr_t counts = reinterpret_cast<uintptr_t>(pass.counts) + 2 * cell;
    __builtin_prefetch(reinterpret_cast<const void*>(counts));
    __builtin_prefetch(reinterpret_cast<const void*>(counts - 2 * WORLD_HEIGHT));
    __builtin_prefetch(reinterpret_cast<const void*>(counts + 2 * WORLD_HEIGHT));
    const uintptr_t pulls = reinterpret_cast<uintptr_t>(pass.pulls) + cell;
    __builtin_prefetch(reinterpret_cast<const void*>(pulls));
}

// A grain's colour packed into the surface's layout is the OR of its three channels packed on
// their own, since a channel of 0 packs to nothing but the opaque bits, which every packed
// value has alike; the step packs each possible channel value once
// and looks them up per grain, which gives the very bits of packing the colour whole.
struct ChannelTables {
    uint32_t red[256];
    uint32_t green[256];
    uint32_t blue[256];
};

void fill_channel_tables(const PixelFormat& format, ChannelTables& tables) {
    for (uint32_t v = 0; v < 256; ++v) {
        tables.red[v] = pack_color(format, v, 0, 0);
        tables.green[v] = pack_color(format, 0, v, 0);
        tables.blue[v] = pack_color(format, 0, 0, v);
    }
}

// One pass over the pool with the surface's pixel size fixed at compile time, so the store is
// chosen once per step instead of once per grain. BYTES 0 stands for a layout that stores
// nothing. The random cursor is kept in a local and written back at the end: the same bytes in
// the same order as taking them one by one.
template <int BYTES>
void step_grains(const Pass& pass) {
    PixelFormat format = pixel_format;
    format.bytes_per_pixel = BYTES;
    ChannelTables packed;
    if constexpr (BYTES != 0) fill_channel_tables(format, packed);

    Particle* const* const entries = world.pool.entries;
    uint8_t cursor = world.random.cursor;
    for (int32_t i = world.pool.count - 1; i >= 0; --i) {
        prefetch_cells(pass, entries[i >= PREFETCH_AHEAD ? i - PREFETCH_AHEAD : 0]);
        Particle* const g = entries[i];
        if (g->slot != i) continue;  // the record was added again later: a stale entry
        const int x = g->x;
        const int y = g->y;
        if (g->rest != REST_FIXED) {
            if (static_cast<unsigned>(x - 1) < WORLD_WIDTH - 2 &&
                static_cast<unsigned>(y - 1) < WORLD_HEIGHT - 2)
                move_grain<false>(pass, g, x, y, cursor);
            else if (static_cast<unsigned>(x) < WORLD_WIDTH &&
                     static_cast<unsigned>(y) < WORLD_HEIGHT)
                move_grain<true>(pass, g, x, y, cursor);
            // A record off the grid would read counts outside it: such a grain is only drawn.
        }
        if constexpr (BYTES != 0) {
            const uint32_t new_x = static_cast<uint32_t>(g->x);  // where the visit left it
            const uint32_t new_y = static_cast<uint32_t>(g->y);
            if (new_x < format.width && new_y < format.height)
                store_pixel(format, new_x, new_y,
                            packed.red[g->red] | packed.green[g->green] | packed.blue[g->blue]);
        }
    }
    world.random.cursor = cursor;
}

}  // namespace

void step_sand(int32_t origin_x, int32_t return_y, int32_t trigger_y) {
    if (world.pool.count <= 0) return;
    const Pass pass = {world.grid.counts, world.flow.pulls, world.random.bytes,
                       make_return_rule(origin_x, return_y, trigger_y)};
    switch (pixel_format.bytes_per_pixel) {
    case 1: step_grains<1>(pass); break;
    case 2: step_grains<2>(pass); break;
    case 3: step_grains<3>(pass); break;
    case 4: step_grains<4>(pass); break;
    default: step_grains<0>(pass); break;
    }
}
