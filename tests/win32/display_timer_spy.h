// Watches the multimedia-timer calls that this program makes: its import slots for winmm's
// timeGetDevCaps, timeBeginPeriod, timeEndPeriod, timeSetEvent and timeKillEvent are pointed at
// wrappers that write the call down and pass it on. Each call also appends its letter to a log
// given by the test (the scripted DirectDraw's call order), so that timer and DirectDraw calls
// can be seen in one sequence: g timeGetDevCaps, b timeBeginPeriod, e timeEndPeriod,
// s timeSetEvent, k timeKillEvent.
#pragma once

#include <windows.h>
#include <mmsystem.h>

struct TimerSpy {
    char* log;             // letters are appended here while not null
    int* log_length;
    int log_capacity;
    bool fail_set_event;   // timeSetEvent gives 0 without starting a timer

    UINT begin_period;     // the last of each call's arguments
    UINT end_period;
    UINT set_delay;
    UINT set_resolution;
    LPTIMECALLBACK set_callback;
    DWORD_PTR set_user;
    UINT set_flags;
    UINT set_result;
    UINT killed_id;
};

extern TimerSpy timer_spy;

// Points the import slots at the wrappers (once) and clears what was written down.
// False if a slot was not found.
bool install_timer_spy();
