// The emulators of a session: the ones it launched, whose process handles it
// keeps (so that ending one can never end another program), and the signs by
// which any running emulator is known: a top-level window of class "MAME",
// or a process whose executable's file name is the configured one.
#pragma once
#include <windows.h>

#include <cstdint>

// Starts command hidden at below-normal priority in folder (CreateProcessA
// may write into command) and keeps the process's handle. False when the
// process could not be started.
bool LaunchEmulator(char *command, const char *folder);

// True while an emulator this session launched still runs.
bool LaunchedEmulatorRunning();

// How long the newest launched emulator ran, in milliseconds, once it has
// ended; -1 while it runs or when there is none.
int64_t LaunchedRunTime();

// The exit code of the newest launched emulator once it has ended; -1 while
// it runs or when there is none.
int LaunchedExitCode();

// Ends the launched emulators that still run, waiting a little for each,
// and gives back every handle.
void EndLaunchedEmulators();

// Gives back every handle and leaves the emulators running.
void LeaveLaunchedEmulators();

// The first running process whose executable's file name equals exe
// exactly (letter case too), or null. The name is read with a call that
// works across 32 and 64 bits. The caller owns the handle.
HANDLE GetMessProcessHandle(const char *exe);

// The presence test: a launched emulator that runs (cheap), else a window
// of class "MAME", else a process carrying the name sign.
bool EmulatorPresent(const char *exe);

// Posts WM_CLOSE to every top-level window of class "MAME"; waits for none.
void AskEmulatorsToClose();
