#include "saver/presence_posix.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace {

struct Launched {
    pid_t pid;
    int64_t startMs;
    int64_t endMs;   // -1 while it runs
    int exitCode;    // -1 until it has ended by itself
};

std::vector<Launched> launched;
std::vector<pid_t> left;

// How long the end of a session waits for a killed child to be reaped.
const int kKillWaitMs = 2000;

int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// True once pid has ended and been reaped (by this call or before); its
// exit status goes to *exitCode when it ended by itself now.
bool Reaped(pid_t pid, int *exitCode = nullptr)
{
    for (;;) {
        int status = 0;
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid && exitCode && WIFEXITED(status))
            *exitCode = WEXITSTATUS(status);
        if (done == pid)
            return true;
        if (done == 0)
            return false;
        if (errno != EINTR)
            return true;   // not a child of ours any more: nothing to wait for
    }
}

void ReapLaunched()
{
    for (Launched &child : launched)
        if (child.endMs < 0 && Reaped(child.pid, &child.exitCode))
            child.endMs = NowMs();
    // Ended children are of no more use, but for the newest one's run time.
    for (size_t i = 0; i + 1 < launched.size();) {
        if (launched[i].endMs >= 0)
            launched.erase(launched.begin() + static_cast<long>(i));
        else
            ++i;
    }
}

}   // namespace

bool LaunchChild(const std::vector<std::string> &words, const char *folder)
{
    if (words.empty() || words[0].empty())
        return false;
    std::vector<char *> argv;
    for (const std::string &word : words)
        argv.push_back(const_cast<char *>(word.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, folder);
    // A group of its own: the end of the session kills the group, so what
    // the emulator started goes with it, and nothing of the saver's.
    posix_spawnattr_setpgroup(&attributes, 0);
    // The emulator starts with no signal blocked and none ignored, whatever
    // this process was started with (a shell's background job ignores SIGINT).
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int signal : {SIGHUP, SIGINT, SIGQUIT, SIGPIPE, SIGTERM, SIGCHLD})
        sigaddset(&defaults, signal);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                              POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    int result = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (result != 0)
        return false;
    launched.push_back({pid, NowMs(), -1, -1});
    ReapLaunched();
    return true;
}

bool LaunchedChildRunning()
{
    ReapLaunched();
    for (const Launched &child : launched)
        if (child.endMs < 0)
            return true;
    return false;
}

int64_t LaunchedChildRunTime()
{
    ReapLaunched();
    if (launched.empty() || launched.back().endMs < 0)
        return -1;
    return launched.back().endMs - launched.back().startMs;
}

int LaunchedChildExitCode()
{
    ReapLaunched();
    if (launched.empty() || launched.back().endMs < 0)
        return -1;
    return launched.back().exitCode;
}

void EndLaunchedChildren()
{
    ReapLaunched();
    for (const Launched &child : launched) {
        if (child.endMs >= 0)
            continue;
        kill(-child.pid, SIGKILL);
        kill(child.pid, SIGKILL);   // in case it left its group
        int64_t until = NowMs() + kKillWaitMs;
        while (!Reaped(child.pid)) {
            if (NowMs() >= until) {
                left.push_back(child.pid);   // reaped later, if the process lives on
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    launched.clear();
}

void LeaveLaunchedChildren()
{
    ReapLaunched();
    for (const Launched &child : launched)
        if (child.endMs < 0)
            left.push_back(child.pid);
    launched.clear();
}

bool ReapLeftChildren()
{
    for (size_t i = 0; i < left.size();) {
        if (Reaped(left[i]))
            left.erase(left.begin() + static_cast<long>(i));
        else
            ++i;
    }
    return !left.empty();
}
