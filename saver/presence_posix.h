// The emulators a session launched on a POSIX system: children of this
// process, each the leader of a process group of its own. A launch lasts
// until every process of its group has ended, the leader or not: a launcher
// that starts the emulator and returns leaves it in its group. Only the
// session's thread calls these. Every child is reaped once it ends: none is
// left a zombie.
#pragma once
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

// Starts words[0] (a path) with the arguments words, in folder, in a new
// process group, with standard input from /dev/null. False when it could
// not be started.
bool LaunchChild(const std::vector<std::string> &words, const char *folder);

// A descriptor that becomes readable when a child of this process ends (a
// byte from the SIGCHLD handler), so that an event loop can take a launch's
// end at once. Drained by WatchLaunchedChildren. -1 when none could be made.
int ChildEndedFd();

// Reaps the launched children that have ended and takes the end time of each
// launch whose last process is gone. Returns how soon, in milliseconds, it
// wants to be called again: a group whose leader has gone is looked at
// every so often, since no signal tells when its last process ends; -1
// when the descriptor above is enough.
int WatchLaunchedChildren();

// True while a process of a launch still runs.
bool LaunchedChildRunning();

// True when pid is a running process of a launch that still runs: one of its
// process groups.
bool IsLaunchedProcess(pid_t pid);

// How long the newest launch ran, in milliseconds, from the launch to the
// end of its last process; -1 while it runs or when there is none.
int64_t LaunchedChildRunTime();

// The exit status of the newest launch's first process (the launcher, when
// the command is one) once the launch has ended; -1 while it runs, when a
// signal ended that process, or when there is none.
int LaunchedChildExitCode();

// Kills the process group of each launch that still runs (and only those:
// the number of a group that has ended may have gone to another process),
// then reaps its leader.
void EndLaunchedChildren();

// Forgets the launched children: they run on. A process that lives on after
// the session reaps them with ReapLeftChildren as they end.
void LeaveLaunchedChildren();

// Reaps the children left running that have ended since; true while a
// process of one of their groups still runs.
bool ReapLeftChildren();
