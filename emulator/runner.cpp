#include "emulator/runner.h"

// Long enough for the slowest -listxml report; short enough that a hung
// emulator does not keep the saver's only thread waiting for ever.
int RunnerTimeLimitMs = 30000;

static CommandRunner commandRunner = nullptr;
static thread_local const std::atomic<bool> *runnerCancel = nullptr;

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

int RunQuery(char *command, char *output)
{
    return commandRunner ? commandRunner(command, output) : SilentCreateProcess(command, output);
}
