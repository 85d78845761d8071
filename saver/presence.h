// The emulators of a session: the ones it launched, each in a job object of
// its own (so that what a launcher starts is followed and ended with it, and
// ending them can never end another program), and the signs by which any
// running emulator is known: a top-level window of class "MAME", or a
// process whose executable's file name is the configured one.
#pragma once
#include <windows.h>

#include <cstdint>

// Where the end of a launch is told: message is posted to window (from
// another thread) each time the last process of a launch has ended.
void WatchLaunches(HWND window, UINT message);

// Starts command hidden at below-normal priority in folder (CreateProcessA
// may write into command), in a job that gathers every process it starts.
// False when the process could not be started.
bool LaunchEmulator(char *command, const char *folder);

// True while any process of a launch of this session still runs.
bool LaunchedEmulatorRunning();

// How long the newest launch ran, in milliseconds, from the launch to the
// end of the last process it started; -1 while it runs or when there is none.
int64_t LaunchedRunTime();

// The exit code of the process the newest launch started (a launcher's, when
// the command is one), once the launch has ended; -1 while it runs or when
// there is none.
int LaunchedExitCode();

// Ends every process of the launches that still run, waiting at most half a
// second for them to go, and gives back every handle.
void EndLaunchedEmulators();

// Gives back every handle and leaves the launched processes running.
void LeaveLaunchedEmulators();

// The first running process whose executable's file name equals exe
// exactly (letter case too), or null. The name is read with a call that
// works across 32 and 64 bits. The caller owns the handle.
HANDLE GetMessProcessHandle(const char *exe);

// The presence test: a launched emulator that runs (cheap), else a window
// of class "MAME", else a process carrying the name sign.
bool EmulatorPresent(const char *exe);

// Posts WM_CLOSE to the top-level windows (visible, or of class "MAME") of
// the processes this session launched; waits for none. No other window is
// ever asked.
void AskEmulatorsToClose();
