#include "emulator/runner.h"

// Long enough for the slowest -listxml report; short enough that a hung
// emulator does not keep the saver's only thread waiting for ever.
int RunnerTimeLimitMs = 30000;

static CommandRunner commandRunner = nullptr;
static thread_local const std::atomic<bool> *runnerCancel = nullptr;
static thread_local int runLimitMs = 0;   // 0: RunnerTimeLimitMs
static thread_local bool exitCodeWanted = false;
static thread_local int lastExitCode = -1;

void SetRunnerCancel(const std::atomic<bool> *cancel)
{
    runnerCancel = cancel;
}

bool RunnerCancelled()
{
    return runnerCancel && runnerCancel->load();
}

void SetCommandRunner(CommandRunner runner)
{
    commandRunner = runner;
}

int LastRunExitCode()
{
    return lastExitCode;
}

void ReportRunExitCode(int code)
{
    lastExitCode = code;
}

bool RunExitCodeWanted()
{
    return exitCodeWanted;
}

int CurrentRunLimitMs()
{
    return runLimitMs > 0 ? runLimitMs : RunnerTimeLimitMs;
}

int RunQuery(char *command, char *output)
{
    lastExitCode = -1;
    return commandRunner ? commandRunner(command, output) : SilentCreateProcess(command, output);
}

int RunForExitCode(char *command, char *output, int limitMs, int *exitCode)
{
    runLimitMs = limitMs;
    exitCodeWanted = true;
    int result = RunQuery(command, output);
    runLimitMs = 0;
    exitCodeWanted = false;
    *exitCode = result == 0 ? lastExitCode : -1;
    return result;
}
