// The hidden runner on Win32 (under Wine): pipes, merged streams, the output
// limit, the time limit, cancelling and the hidden console, with
// childwriter.exe (beside this test program) as the child.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "emulator/runner.h"
#include "support/test_files.h"

using std::string;

namespace {

struct RunResult {
    int result;
    string text;   // up to the first NUL, as the callers see it
    ULONGLONG milliseconds;
};

std::vector<char> output(kRunnerOutputBytes);   // the runner's buffer, watched by the cancel test

// Runs childwriter with the given actions, after it has left its process id
// in child.pid; the output buffer is full of junk beforehand, so that a
// missing terminator or a stale text would show.
RunResult RunChild(const string &actions, int limitMs = 30000)
{
    RunnerTimeLimitMs = limitMs;
    std::fill(output.begin(), output.end(), '~');
    const string folder = ExecutableFolder();
    std::vector<char> line(1024);
    snprintf(line.data(), line.size(), "\"%schildwriter.exe\" pidfile \"%schild.pid\" %s", folder.c_str(), folder.c_str(),
             actions.c_str());
    ULONGLONG start = GetTickCount64();
    RunResult run;
    run.result = SilentCreateProcess(line.data(), output.data());
    run.milliseconds = GetTickCount64() - start;
    run.text = output.data();
    RunnerTimeLimitMs = 30000;
    return run;
}

// True once the last child is gone: not merely reported, its process ended.
bool ChildEnded()
{
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, strtoul(ReadWhole(ExecutableFolder() + "child.pid").c_str(), nullptr, 10));
    bool ended = !process || WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    return (process && CloseHandle(process)), ended;
}

}  // namespace

TEST(RunnerWin, StreamsLimitsAndTimeLimit)
{
    struct Row {
        const char *what;
        string actions;
        int limitMs, result;
        string text;
    } rows[] = {
        {"both streams, in the order written", "text 1 errtext 2 text 3 errtext 4", 30000, 0,
         "1234"},
        {"nothing, and the exit code is not looked at", "exit 7", 30000, 0, ""},
        {"exactly 99999 from both", "out 50000 err 49999", 30000, 0,
         string(50000, 'o') + string(49999, 'e')},
        {"the chunk crossing the limit is dropped whole",
         "out 99990 sleep 300 text bbbbbbbbbbbbbbbbbbbb", 30000, 12, string(99990, 'o')},
        {"zero bytes end the text", "zero", 30000, 0, "ab"},
        {"hung child: ended at the limit, what it wrote kept", "text early hang", 2000,
         kRunnerTimeout, "early"},
        {"the next run after a hung one", "text next", 30000, 0, "next"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        RunResult run = RunChild(row.actions, row.limitMs);
        EXPECT_EQ(row.result, run.result);
        EXPECT_TRUE(row.text == run.text) << run.text.size() << ": " << run.text.substr(0, 60);
        EXPECT_LT(run.milliseconds, 10000u);
        EXPECT_TRUE(row.result != kRunnerTimeout || ChildEnded());
    }
    // A command whose answer is its exit code.
    std::vector<char> child(1024), out(kRunnerOutputBytes);
    snprintf(child.data(), child.size(), "\"%schildwriter.exe\" text x exit 7", ExecutableFolder().c_str());
    int code = -1;
    EXPECT_EQ(0, RunForExitCode(child.data(), out.data(), 5000, &code));
    EXPECT_EQ(7, code);
    char line[1024] = "\"C:\\no\\such\\folder\\mame.exe\" -listxml pacman";
    char output[kRunnerOutputBytes] = "stale text from an earlier query";
    EXPECT_EQ(9, SilentCreateProcess(line, output));
    EXPECT_STREQ("", output);
}

TEST(RunnerWin, CancelEndsTheChildAtOnce)
{
    std::atomic<bool> cancel{false};
    std::atomic<ULONGLONG> cancelledAt{0};   // the cancel thread's
    SetRunnerCancel(&cancel);
    std::fill(output.begin(), output.end(), '~');
    // Cancels once the runner holds what the child wrote first ("early" and
    // its NUL): a loaded machine may start the child later than any fixed wait.
    std::thread later([&] {
        for (ULONGLONG until = GetTickCount64() + 20000;
             __atomic_load_n(&output[5], __ATOMIC_ACQUIRE) != '\0' && GetTickCount64() < until;)
            Sleep(5);
        cancelledAt = GetTickCount64();
        cancel = true;
    });
    RunResult run = RunChild("text early hang");
    ULONGLONG returned = GetTickCount64();
    later.join();
    SetRunnerCancel(nullptr);
    EXPECT_EQ(kRunnerCancelled, run.result);
    EXPECT_EQ("early", run.text);
    EXPECT_LT(returned - cancelledAt, 3000u);
    EXPECT_TRUE(ChildEnded());
}

TEST(RunnerWin, ShowsNoConsoleWindow)
{
    RunResult run = RunChild("console");
    ASSERT_EQ(0, run.result);
    EXPECT_NE(string::npos, run.text.find("visible=0")) << run.text;

    // The probe can see a shown console: the same child started the plain
    // way, output to a file, reports its console visible.
    string report = ExecutableFolder() + "console-shown.txt";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE file = CreateFileA(report.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                              CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = file;
    string line = "\"" + ExecutableFolder() + "childwriter.exe\" console";
    PROCESS_INFORMATION child;
    ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE,
                               nullptr, nullptr, &startup, &child));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(child.hProcess, 10000));
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    CloseHandle(file);
    EXPECT_NE(string::npos, ReadWhole(report).find("visible=1")) << ReadWhole(report);
}
