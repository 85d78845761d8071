// The run cycle: wait until no emulator runs, show "Searching..." while a
// round is prepared, show its title card, launch the emulator, let it run,
// ask it to close, and start over; the hot keys and the end of the session.
// Portable: a platform shell (the Win32 window, the X11 event loop) turns its
// events into the calls below and carries out what the cycle asks of it.
#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "saver/round.h"

enum CycleTimer {
    kTimerPoll = 1,       // TimerPoll: no emulator present -> prepare a round
    kTimerEndRun = 2,     // TimerEndRun: ask the emulator to close; stays armed
    kTimerStart = 3,      // TimerStart: end of the splash -> launch
    kTimerStarting = 4,   // TimerStarting: end of the starting wait -> poll again
    kTimerRetry = 5,      // after starts that failed in a row: the next try
    kTimerDark = 6,       // DarkAfterMinutes: no more rounds, a dark screen
};

enum CycleHotKey { kHotKeyEscape = 1, kHotKeyPause = 2, kHotKeyBackspace = 3 };

// What the cycle asks of its platform. Every call returns at once except
// Sleep (only the end of the session uses it) and EndLaunched (the end of
// the session, and the dark screen once its wait is over), which may take
// a moment.
struct CyclePlatform {
    void *context;
    uint64_t (*Now)(void *context);   // milliseconds, never going back
    void (*SetTimer)(void *context, int id, int32_t ms);
    void (*KillTimer)(void *context, int id);
    // An emulator runs: one this session launched, a top-level window of
    // class "MAME", or a process whose executable's file name is exe.
    bool (*EmulatorPresent)(void *context, const char *exe);
    // Something this session launched still runs (the emulator, or what a
    // launcher started); the user's own emulators do not count.
    bool (*LaunchedRunning)(void *context);
    // The searching screen; note, when not empty, is a short line under it.
    void (*PaintSearching)(void *context, const char *note);
    // Says once, where the user can read it later (standard error), why
    // nothing can be launched.
    void (*TellDeadEnd)(void *context, const char *why);
    // The round's picture under its title card.
    void (*PaintRound)(void *context, const Round &round);
    // A black screen for the rest of the session; the display may now sleep.
    void (*PaintDark)(void *context);
    // Starts round.command in round.folder and keeps what it needs to end
    // that process later. False when it could not be started.
    bool (*Launch)(void *context, const Round &round);
    // How long the last launch ran, in milliseconds, from the launch to the
    // real end of the last process it started; -1 while any of them runs.
    int64_t (*LaunchedRunTime)(void *context);
    // The exit code of the process the last launch started (a launcher's,
    // when the command is one), once the launch has ended; -1 while it
    // runs, when it was killed by a signal, or when there was none.
    int (*LaunchedExitCode)(void *context);
    // Asks the windows of the processes this session launched to close,
    // without waiting for them. Nobody else's window is ever asked.
    void (*AskToClose)(void *context);
    void (*RequestRound)(void *context, RoundRequest request);
    // Cancels the round being prepared; its query's child is ended.
    void (*CancelRound)(void *context);
    // Ends the session's window; the process then ends with exit code 1.
    void (*EndSession)(void *context);
    void (*Sleep)(void *context, int ms);
    // Ends the emulators this session launched that still run, and nothing else.
    void (*EndLaunched)(void *context);
    // Lets the emulators this session launched run on after it (Backspace).
    void (*LeaveLaunched)(void *context);
};

// Timings of the session, from the settings.
struct CycleTimers {
    int32_t poll, endRun, start, starting;
    int32_t dark;   // from the start to the dark screen; 0: never
};

constexpr int64_t kFailedStartMs = 5000;       // gone sooner: the start failed
constexpr int kFailuresBeforeRefusal = 2;      // per machine and software
constexpr int kFailuresBeforeBackoff = 5;      // in a row
constexpr int32_t kFirstBackoffMs = 10000;
constexpr int32_t kLongestBackoffMs = 300000;
constexpr int kShutdownWaitMs = 10000;         // then only launched emulators are ended
constexpr int kShutdownStepMs = 100;

struct RunCycle {
    const CyclePlatform *platform = nullptr;
    CycleTimers timers = {};
    PngPixels pixels = PngPixels::Bgr;
    char exe[1024] = "";          // the process sign until a round says otherwise
    Round current;                // the round on screen or running
    bool preparing = false;
    bool killOnExit = true;       // only Backspace clears it
    bool ended = false;
    bool dark = false;            // no more rounds: the launched emulator goes, then black
    uint64_t darkSince = 0;
    // The failure watchdog.
    bool judging = false;         // the last launch is yet to be judged
    bool launchFailed = false;
    bool closeAsked = false;      // the session itself ended the run early
    int failuresInRow = 0;
    int32_t backoffMs = 0;
    char note[256] = "";          // why the tries are slowed down
    char brokenNote[256] = "";    // how many sets the choice found broken
    char deadEnd[256] = "";       // why nothing can be chosen at all
    std::vector<BrokenSet> broken;         // launches that ended for missing files, not yet sent
    std::map<std::string, int> failures;
    std::vector<std::string> refused;      // failed too often: not chosen again
    std::deque<std::string> recent;        // keys of the latest rounds, newest first
};

// Start of a full-screen session: arms the poll. exe is the process sign
// to look for before the first round (the MESS executable's file name).
void CycleStart(RunCycle &cycle, const CyclePlatform *platform, const CycleTimers &timers,
                const char *exe);
void CycleTimer(RunCycle &cycle, int id);
// A prepared round has arrived (chosen or not).
void CycleRoundReady(RunCycle &cycle, Round round);
void CycleHotKey(RunCycle &cycle, int id);
// The window is going: stops everything; unless Backspace ended the session,
// asks the emulators it launched to close and waits for them, ending them
// after kShutdownWaitMs. A user's emulator is neither waited for nor touched.
void CycleShutdown(RunCycle &cycle);
