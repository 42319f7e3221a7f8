// The host's shared record. Its initial values are a constant, so the record is set up by static
// initialisation, before start-up runs; reset_host_state puts the same values back for tests.
#include "host_state.h"

namespace {

constexpr HostState INITIAL_HOST_STATE = {
    nullptr,              // instance
    0,                    // win9x
    nullptr,              // saver_window
    0,                    // preview
    FALSE,                // closing
    0,                    // verifying
    nullptr,              // verifier_module
    nullptr,              // verify_fn
    0,                    // autoplay_message
    nullptr,              // imm_module
    nullptr,              // associate_context_fn
    nullptr,              // saved_ime_context
    {0, 0},               // cursor_reference
    4,                    // move_threshold
    NO_VERIFICATION_YET,  // last_verify_tick
    "",                   // saver_name
};

}  // namespace

HostState host = INITIAL_HOST_STATE;

void reset_host_state() { host = INITIAL_HOST_STATE; }
