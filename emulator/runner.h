// Runs one command line hidden and gathers everything the child writes to
// its standard output and standard error.
#pragma once
#include <atomic>

constexpr int kRunnerOutputBytes = 100000;   // the caller's output buffer
constexpr int kRunnerTimeout = 13;           // the child outlived the time limit
constexpr int kRunnerCancelled = 14;         // the caller's thread was told to stop

// Runs command (a writable 1024-byte buffer) and fills output (100000 bytes)
// with at most 99999 characters and a NUL. Returns 0 when the child's output
// was read to its end, otherwise the code of the step that failed; 13 when
// the child was still running after RunnerTimeLimitMs and was ended (what it
// wrote until then is kept).
int SilentCreateProcess(char *command, char *output);

// How long a child may run, in milliseconds (30 s; tests shorten it).
extern int RunnerTimeLimitMs;

// The calling thread's hidden runs end at once, their child ended (code 14),
// as soon as *cancel is true; nullptr: they are never cancelled. The round
// worker sets this for itself, so a session that ends does not wait for a
// query that hangs.
void SetRunnerCancel(const std::atomic<bool> *cancel);
bool RunnerCancelled();

// The exit code of the child of this thread's latest run through RunQuery or
// RunForExitCode, when it ended by itself within the time limit; -1
// otherwise. The runners report it (stubs installed by SetCommandRunner may
// too); the Windows runner waits for it only when RunForExitCode asks.
int LastRunExitCode();
void ReportRunExitCode(int code);
bool RunExitCodeWanted();

// The time limit of this thread's run now: RunnerTimeLimitMs, unless
// RunForExitCode gave one of its own.
int CurrentRunLimitMs();

// Test seam for the emulator queries: they run their command lines through
// RunQuery, which calls SilentCreateProcess unless a stub is installed.
using CommandRunner = int (*)(char *command, char *output);
void SetCommandRunner(CommandRunner runner);   // nullptr: SilentCreateProcess
int RunQuery(char *command, char *output);

// RunQuery for a command whose answer is its exit code (*exitCode, -1 when
// the child did not end by itself), within limitMs.
int RunForExitCode(char *command, char *output, int limitMs, int *exitCode);
