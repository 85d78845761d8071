// The hidden runner off Windows: same contract as the Win32 one (merged
// standard output and error, at most 99999 characters, the same codes), over
// pipe, posix_spawn and read.
#include "emulator/runner.h"
#include "emulator/cmdline.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

static const int kOutputLimit = kRunnerOutputBytes - 1;   // characters kept
static const int kChunkBytes = 100000;

// Ends the child and everything it started (they share its process group),
// then reaps it so that no zombie is left behind.
static void EndChild(pid_t child)
{
    kill(-child, SIGKILL);
    kill(child, SIGKILL);
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
}

// Reaps the child once it has closed its output; one that lives on past the
// time limit without any output left to give is ended.
static void ReapChild(pid_t child, std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        int status = 0;
        pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child && WIFEXITED(status))
            ReportRunExitCode(WEXITSTATUS(status));
        if (done == child || (done < 0 && errno != EINTR))
            return;
        if (RunnerCancelled() || std::chrono::steady_clock::now() >= deadline) {
            EndChild(child);
            return;
        }
        usleep(2000);
    }
}

int SilentCreateProcess(char *command, char *output)
{
    output[0] = '\0';
    auto deadline = std::chrono::steady_clock::now() +
                    std::chrono::milliseconds(CurrentRunLimitMs());

    std::vector<std::string> words = SplitCommandLine(command);
    if (words.empty() || words[0].empty())
        return 9;
    // The program's path is written the Windows way in the settings.
    for (char &c : words[0])
        if (c == '\\')
            c = '/';
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(&word[0]);
    argv.push_back(nullptr);

    int ends[2];
    // Close-on-exec, so that no other child started meanwhile keeps a write
    // end open and the pipe still breaks when this child ends.
    if (pipe2(ends, O_CLOEXEC) != 0)
        return 1;
    int readEnd = ends[0];
    int writeEnd = ends[1];

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    // Standard output and standard error are the one pipe, so the text keeps
    // the order in which the child wrote.
    posix_spawn_file_actions_adddup2(&actions, writeEnd, 1);
    posix_spawn_file_actions_adddup2(&actions, writeEnd, 2);
    // Its own process group, so that ending it also ends what it started.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    pid_t child;
    int spawned = posix_spawn(&child, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(writeEnd);
    if (spawned != 0) {
        close(readEnd);
        return 9;
    }

    std::vector<char> chunk(kChunkBytes);
    int gathered = 0;
    int result = 0;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (RunnerCancelled()) {
            result = kRunnerCancelled;
            break;
        }
        if (left <= 0) {
            result = kRunnerTimeout;
            break;
        }
        // Short slices, so that a cancel is seen at once.
        pollfd watch = {readEnd, POLLIN, 0};
        int ready = poll(&watch, 1, static_cast<int>(left < 20 ? left : 20));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            result = 11;
            break;
        }
        if (ready == 0)
            continue;   // the deadline is checked at the top
        ssize_t count = read(readEnd, chunk.data(), chunk.size());
        if (count < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            result = 11;
            break;
        }
        if (count == 0)
            break;   // every write end is closed: the child is done
        if (gathered + count > kOutputLimit) {
            // The chunk that crosses the limit is dropped whole.
            result = 12;
            break;
        }
        memcpy(output + gathered, chunk.data(), count);
        gathered += static_cast<int>(count);
        output[gathered] = '\0';
    }
    close(readEnd);

    if (result == 0)
        ReapChild(child, deadline);
    else
        EndChild(child);   // a child with more to say, or one that hangs, is not waited for
    return result;
}
