// The run cycle: four window timers of the session window that choose,
// paint, launch, watch and close emulators, round after round.
#pragma once
#include <windows.h>

enum RunCycleTimerId : UINT_PTR {
    kTimerPoll = 1,       // TimerPoll: no emulator present -> choose and paint
    kTimerEndRun = 2,     // TimerEndRun: ask the emulator to close
    kTimerStart = 3,      // TimerStart: end of the splash -> launch
    kTimerStarting = 4,   // TimerStarting: end of the starting wait -> poll again
};

// The current choice, filled by ChooseSoftware.
extern char Machine[64];
extern char Software[1024];
extern char Command[1024];

// Handles WM_TIMER of the session window.
void RunCycleTimer(HWND window, WPARAM id);

// A close request to the emulator's window that cannot hang the saver.
void CloseEmulatorWindow(HWND emulator);

// How many ChooseSoftware calls one poll may make, and how many WM_CLOSE one
// end-of-run tick may send, before giving the message loop its turn.
constexpr int kChoicesPerPoll = 50;
constexpr int kClosesPerTick = 50;
