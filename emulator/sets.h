// Whether a game's files are there and start under this emulator: the disks
// it needs, and the emulator's own -verifyroms verdict on its set, asked
// once and remembered with the machine facts against the set's size and
// last-write time.
#pragma once
#include <cstddef>

#include "emulator/facts.h"

constexpr int kVerifyTimeLimitMs = 20000;   // one -verifyroms run
constexpr int kFilesMissingExitCode = 2;    // MAME: required files are missing

// True when every disk the machine cannot run without is in romFolder:
// romFolder\NAME\DISK.chd, or the same under the folder of its romof set.
bool DisksPresent(const MachineFacts &facts, const char *romFolder, const char *name);

// 1 when the set romFolder\entry (a zip, a 7z or a folder) holds good files
// for machine name; 0 when it is broken: -verifyroms ended with another exit
// code than 0, now or before, or a run ended with kFilesMissingExitCode; -1
// when there is no verdict (the check did not end by itself: it timed out,
// was cancelled or could not start). Runs the emulator at most once.
int VerifyRomSet(const char *folder, const char *exe, const char *romFolder, const char *entry,
                 const char *name);

// Where a MESS system's own files are: biosFolder\SYSTEM.zip, .7z or the
// folder SYSTEM, the first that is there, else the folder's path. False
// when there is no BIOS folder or the path does not fit.
bool SystemRomEntry(const char *biosFolder, const char *system, char *path, size_t size);

// A run ended with kFilesMissingExitCode: the entry is broken until it changes.
void MarkRomSetBroken(const char *folder, const char *exe, const char *entryPath);

// This thread's counts: -verifyroms runs, and the entries found broken
// (each once, whether judged now or remembered).
long RomVerificationsRun();
long BrokenSetsFound();
