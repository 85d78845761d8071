#include "saver/presence_posix.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace {

struct Launched {
    pid_t pid;             // the first process; its number is also its group's
    int64_t startMs;
    int64_t endMs;         // -1 while a process of the group runs
    int exitCode;          // the first process's, -1 until it has ended by itself
    bool leaderReaped;
    pid_t member;          // a process of the group seen running lately; 0: none known
};

std::vector<Launched> launched;
std::vector<Launched> left;
int childEnded[2] = {-1, -1};

// How long the end of a session waits for a killed group to be gone.
const int kKillWaitMs = 2000;
// How often a group whose first process has gone is looked at: its other
// processes are no children of ours, and no signal tells when they end.
const int kGroupCheckMs = 100;

int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void OnChildEnded(int)
{
    int saved = errno;
    char byte = 'c';
    ssize_t written = write(childEnded[1], &byte, 1);
    (void)written;   // a full pipe already holds the news
    errno = saved;
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

// True when pid runs (a zombie does not) in process group group.
bool RunsInGroup(pid_t pid, pid_t group)
{
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    FILE *file = fopen(path, "re");
    if (!file)
        return false;
    char text[512];
    size_t length = fread(text, 1, sizeof text - 1, file);
    fclose(file);
    text[length] = '\0';
    // "pid (name) state parent group ...": the name may hold anything, a
    // parenthesis too, but it is at most 16 bytes and ends at the last one.
    const char *nameEnd = strrchr(text, ')');
    char state = 0;
    int parent = 0, itsGroup = 0;
    if (!nameEnd || sscanf(nameEnd + 1, " %c %d %d", &state, &parent, &itsGroup) != 3)
        return false;
    return itsGroup == group && state != 'Z' && state != 'X';
}

// A running process of group: hint when it still is one, else the first
// one found; 0 when there is none.
pid_t FindInGroup(pid_t group, pid_t hint)
{
    if (hint && RunsInGroup(hint, group))
        return hint;
    if (kill(-group, 0) != 0 && errno == ESRCH)
        return 0;   // not even a zombie left
    DIR *processes = opendir("/proc");
    if (!processes)
        return group;   // cannot be told: taken as running
    pid_t found = 0;
    while (const dirent *entry = readdir(processes)) {
        char *end = nullptr;
        long pid = strtol(entry->d_name, &end, 10);
        if (*end == '\0' && pid > 0 && RunsInGroup(static_cast<pid_t>(pid), group)) {
            found = static_cast<pid_t>(pid);
            break;
        }
    }
    closedir(processes);
    return found;
}

// Reaps the first process of the launch once it has ended, then follows
// the rest of its group; the launch ends with the last of them.
void Watch(Launched &child)
{
    if (child.endMs >= 0)
        return;
    if (!child.leaderReaped)
        child.leaderReaped = Reaped(child.pid, &child.exitCode);
    if (!child.leaderReaped)
        return;
    child.member = FindInGroup(child.pid, child.member);
    if (!child.member)
        child.endMs = NowMs();
}

void ReapLaunched()
{
    for (Launched &child : launched)
        Watch(child);
    // Ended launches are of no more use, but for the newest one's run time.
    for (size_t i = 0; i + 1 < launched.size();) {
        if (launched[i].endMs >= 0)
            launched.erase(launched.begin() + static_cast<long>(i));
        else
            ++i;
    }
}

}   // namespace

int ChildEndedFd()
{
    if (childEnded[0] >= 0)
        return childEnded[0];
    if (pipe2(childEnded, O_CLOEXEC | O_NONBLOCK) != 0) {
        childEnded[0] = childEnded[1] = -1;
        return -1;
    }
    struct sigaction action = {};
    action.sa_handler = OnChildEnded;
    action.sa_flags = SA_RESTART | SA_NOCLDSTOP;
    sigemptyset(&action.sa_mask);
    sigaction(SIGCHLD, &action, nullptr);
    return childEnded[0];
}

int WatchLaunchedChildren()
{
    char bytes[64];
    while (childEnded[0] >= 0 && read(childEnded[0], bytes, sizeof bytes) > 0) {
    }
    ReapLaunched();
    for (const Launched &child : launched)
        if (child.endMs < 0 && child.leaderReaped)
            return kGroupCheckMs;
    return -1;
}

bool LaunchChild(const std::vector<std::string> &words, const char *folder)
{
    if (words.empty() || words[0].empty())
        return false;
    ChildEndedFd();   // its end is told the moment it comes
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
    launched.push_back({pid, NowMs(), -1, -1, false, 0});
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

bool IsLaunchedProcess(pid_t pid)
{
    ReapLaunched();
    for (const Launched &child : launched)
        if (child.endMs < 0 && RunsInGroup(pid, child.pid))
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
    for (Launched &child : launched) {
        if (child.endMs >= 0)
            continue;
        // The group's number stays its own while a process of it is left,
        // as Watch has just seen.
        kill(-child.pid, SIGKILL);
        if (!child.leaderReaped)
            kill(child.pid, SIGKILL);   // in case it left its group
        int64_t until = NowMs() + kKillWaitMs;
        for (Watch(child); child.endMs < 0; Watch(child)) {
            if (NowMs() >= until) {
                left.push_back(child);   // reaped later, if the process lives on
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
            left.push_back(child);
    launched.clear();
}

bool ReapLeftChildren()
{
    for (size_t i = 0; i < left.size();) {
        Watch(left[i]);
        if (left[i].endMs >= 0)
            left.erase(left.begin() + static_cast<long>(i));
        else
            ++i;
    }
    return !left.empty();
}
