// The emulators a session launched on a POSIX system: children of this
// process, each the leader of a process group of its own, so that ending one
// ends what it started and nothing else. Only the session's thread calls
// these. Every child is reaped once it ends: none is left a zombie.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Starts words[0] (a path) with the arguments words, in folder, in a new
// process group, with standard input from /dev/null. False when it could
// not be started.
bool LaunchChild(const std::vector<std::string> &words, const char *folder);

// Reaps the launched children that have ended; true while one still runs.
bool LaunchedChildRunning();

// How long the newest launched child ran, in milliseconds, once it has
// ended; -1 while it runs or when there is none.
int64_t LaunchedChildRunTime();

// The exit status of the newest launched child once it has ended by
// itself; -1 while it runs, when a signal ended it, or when there is none.
int LaunchedChildExitCode();

// Kills the process group of each launched child that still runs (and only
// those: a child already reaped may have given its number to another
// process), then reaps it.
void EndLaunchedChildren();

// Forgets the launched children: they run on. A process that lives on after
// the session reaps them with ReapLeftChildren as they end.
void LeaveLaunchedChildren();

// Reaps the children left running that have ended since; true while one
// still runs.
bool ReapLeftChildren();
