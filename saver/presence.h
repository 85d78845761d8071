// Is an emulator running? The saver holds no handle to the emulators it
// launches; it knows them by two signs: a top-level window of class "MAME",
// or a process whose executable's file name is the configured one.
#pragma once
#include <windows.h>

// True when the window sign is found, else when GetMessProcessHandle finds a
// process (whose handle is closed at once).
bool EmulatorPresent();

// The first running process whose first module's base name equals MameExe
// (MameOrMess 1) or MessExe (0), exactly; opened with
// PROCESS_QUERY_INFORMATION | PROCESS_VM_READ. Null when there is none. The
// caller owns the handle.
HANDLE GetMessProcessHandle();

// Last resort of shutdown: ends the process owning the "MAME" window and the
// process that carries the process sign, whatever state they are in.
void EndEmulatorProcesses();
