// The hidden runner on Win32 (under Wine): pipes, merged streams, the output
// limit, the time limit, cancelling and the hidden console, with
// childwriter.exe (beside this test program) as the child.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
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

// Runs childwriter with the given actions; the output buffer is full of junk
// beforehand, so that a missing terminator or a stale text would show.
RunResult RunChild(const string &actions, int limitMs = 30000)
{
    RunnerTimeLimitMs = limitMs;
    std::vector<char> line(1024), output(kRunnerOutputBytes, '~');
    snprintf(line.data(), line.size(), "\"%schildwriter.exe\" %s", ExecutableFolder().c_str(),
             actions.c_str());
    ULONGLONG start = GetTickCount64();
    RunResult run;
    run.result = SilentCreateProcess(line.data(), output.data());
    run.milliseconds = GetTickCount64() - start;
    run.text = output.data();
    RunnerTimeLimitMs = 30000;
    return run;
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
        {"hung child: ended at the limit, what it wrote kept", "text early hang", 500,
         kRunnerTimeout, "early"},
        {"the next run after a hung one", "text next", 30000, 0, "next"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        RunResult run = RunChild(row.actions, row.limitMs);
        EXPECT_EQ(row.result, run.result);
        EXPECT_TRUE(row.text == run.text) << run.text.size() << ": " << run.text.substr(0, 60);
        EXPECT_LT(run.milliseconds, 10000u);
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
    SetRunnerCancel(&cancel);
    std::thread later([&] {
        Sleep(300);
        cancel = true;
    });
    RunResult run = RunChild("text early hang");
    later.join();
    SetRunnerCancel(nullptr);
    EXPECT_EQ(kRunnerCancelled, run.result);
    EXPECT_EQ("early", run.text);
    EXPECT_LT(run.milliseconds, 3000u);
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
