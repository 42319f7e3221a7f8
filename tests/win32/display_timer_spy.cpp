// The timer spy (display_timer_spy.h): wrappers that write each call down and pass it on.
#include "display_timer_spy.h"

#include "display_import_spy.h"

TimerSpy timer_spy;

namespace {

decltype(&timeGetDevCaps) real_get_dev_caps;
decltype(&timeBeginPeriod) real_begin_period;
decltype(&timeEndPeriod) real_end_period;
decltype(&timeSetEvent) real_set_event;
decltype(&timeKillEvent) real_kill_event;

void note(char letter) {
    if (timer_spy.log == nullptr || *timer_spy.log_length >= timer_spy.log_capacity - 1) return;
    timer_spy.log[(*timer_spy.log_length)++] = letter;
    timer_spy.log[*timer_spy.log_length] = '\0';
}

MMRESULT WINAPI spy_get_dev_caps(LPTIMECAPS caps, UINT size) {
    note('g');
    return real_get_dev_caps(caps, size);
}

MMRESULT WINAPI spy_begin_period(UINT period) {
    note('b');
    timer_spy.begin_period = period;
    return real_begin_period(period);
}

MMRESULT WINAPI spy_end_period(UINT period) {
    note('e');
    timer_spy.end_period = period;
    return real_end_period(period);
}

MMRESULT WINAPI spy_set_event(UINT delay, UINT resolution, LPTIMECALLBACK callback, DWORD_PTR user,
                              UINT flags) {
    note('s');
    timer_spy.set_delay = delay;
    timer_spy.set_resolution = resolution;
    timer_spy.set_callback = callback;
    timer_spy.set_user = user;
    timer_spy.set_flags = flags;
    timer_spy.set_result =
        timer_spy.fail_set_event ? 0 : real_set_event(delay, resolution, callback, user, flags);
    return timer_spy.set_result;
}

MMRESULT WINAPI spy_kill_event(UINT id) {
    note('k');
    timer_spy.killed_id = id;
    return real_kill_event(id);
}

}  // namespace

bool install_timer_spy() {
    timer_spy = TimerSpy{};
    return redirect_import("winmm.dll", "timeGetDevCaps", &spy_get_dev_caps, real_get_dev_caps) &&
           redirect_import("winmm.dll", "timeBeginPeriod", &spy_begin_period, real_begin_period) &&
           redirect_import("winmm.dll", "timeEndPeriod", &spy_end_period, real_end_period) &&
           redirect_import("winmm.dll", "timeSetEvent", &spy_set_event, real_set_event) &&
           redirect_import("winmm.dll", "timeKillEvent", &spy_kill_event, real_kill_event);
}
