// The hidden runner on Win32 (under Wine), with childwriter.exe, which lies
// beside this test program, as the child.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "emulator/runner.h"
#include "support/test_files.h"

using std::string;

namespace {

string ChildWriter()
{
    return ExecutableFolder() + "childwriter.exe";
}

struct RunResult {
    int result;
    string text;    // up to the first NUL, as the callers see it
    string bytes;   // what was gathered, NULs included
    DWORD milliseconds;
};

// Runs childwriter with the given actions; the output buffer is filled with
// junk beforehand, so a missing terminator or a stale text would show.
RunResult RunChild(const string &actions, const string &program = ChildWriter())
{
    std::vector<char> line(1024);
    snprintf(line.data(), line.size(), "\"%s\" %s", program.c_str(), actions.c_str());
    std::vector<char> output(kRunnerOutputBytes, '~');
    ULONGLONG start = GetTickCount64();
    RunResult run;
    run.result = SilentCreateProcess(line.data(), output.data());
    run.milliseconds = static_cast<DWORD>(GetTickCount64() - start);
    run.text = output.data();
    size_t end = 0;
    for (size_t i = 0; i < output.size() && output[i] != '~'; ++i)
        if (output[i] == '\0')
            end = i;
    run.bytes.assign(output.data(), end);
    return run;
}

class RunnerWin : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedLimit_ = RunnerTimeLimitMs;
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(ChildWriter().c_str()))
            << ChildWriter();
    }
    void TearDown() override { RunnerTimeLimitMs = savedLimit_; }

private:
    int savedLimit_ = 0;
};

TEST_F(RunnerWin, GathersWhatTheChildWrites)
{
    struct Row {
        const char *what;
        string actions;
        int result;
        string text;
    } rows[] = {
        {"standard output", "text hello", 0, "hello"},
        {"standard error only", "errtext oops", 0, "oops"},
        {"both, in the order written", "text 1 errtext 2 text 3 errtext 4 text 5", 0, "12345"},
        {"nothing", "", 0, ""},
        {"exit code is not looked at", "text x exit 7", 0, "x"},
        {"exactly 99999", "out 99999", 0, string(99999, 'o')},
        {"exactly 99999 on standard error", "err 99999", 0, string(99999, 'e')},
        {"99999 from both", "out 50000 err 49999", 0, string(50000, 'o') + string(49999, 'e')},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        RunResult run = RunChild(row.actions);
        EXPECT_EQ(row.result, run.result);
        EXPECT_EQ(row.text.size(), run.text.size());
        EXPECT_TRUE(row.text == run.text);
    }
}

TEST_F(RunnerWin, MoreThan99999CharactersStopsWithCode12)
{
    for (const char *actions : {"out 100000", "out 99999 text x", "err 300000",
                                "out 99990 sleep 300 text bbbbbbbbbbbbbbbbbbbb"}) {
        SCOPED_TRACE(actions);
        RunResult run = RunChild(actions);
        EXPECT_EQ(12, run.result);
        EXPECT_LE(run.text.size(), 99999u);
        // Only whole chunks before the one that crossed the limit are kept.
        EXPECT_EQ(string::npos, run.text.find_first_not_of(run.text.empty() ? 'o' : run.text[0]));
        if (string(actions).find("sleep") != string::npos) {
            EXPECT_EQ(string(99990, 'o'), run.text);
        }
    }
}

TEST_F(RunnerWin, ZeroBytesAreStoredAsTheyCome)
{
    RunResult run = RunChild("zero");
    EXPECT_EQ(0, run.result);
    EXPECT_EQ("ab", run.text);
    EXPECT_EQ(string("ab\0cd", 5), run.bytes.substr(0, 5));
}

TEST_F(RunnerWin, MissingProgramGivesCode9AndAnEmptyText)
{
    char line[1024] = "\"C:\\no\\such\\folder\\mame.exe\" -listxml pacman";
    char output[kRunnerOutputBytes];
    strcpy(output, "stale text from an earlier query");
    EXPECT_EQ(9, SilentCreateProcess(line, output));
    EXPECT_STREQ("", output);
}

TEST_F(RunnerWin, HungChildIsEndedAfterTheTimeLimit)
{
    RunnerTimeLimitMs = 500;
    RunResult run = RunChild("text early hang");
    EXPECT_EQ(kRunnerTimeout, run.result);
    EXPECT_EQ("early", run.text);
    EXPECT_GE(run.milliseconds, 450u);
    EXPECT_LT(run.milliseconds, 10000u);

    // The ended child holds nothing any more: a new run works at once.
    RunnerTimeLimitMs = 30000;
    RunResult next = RunChild("text next");
    EXPECT_EQ(0, next.result);
    EXPECT_EQ("next", next.text);
}

TEST_F(RunnerWin, QuickChildIsNotHeldBackByTheTimeLimit)
{
    RunnerTimeLimitMs = 30000;
    RunResult run = RunChild("text quick");
    EXPECT_EQ(0, run.result);
    EXPECT_LT(run.milliseconds, 5000u);
}

// What the child's console looks like when started with the given startup
// flags, read back by the child itself.
string ConsoleSeenByChild(DWORD flags, WORD show)
{
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &attributes, 0))
        return "no pipe";
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = flags | STARTF_USESTDHANDLES;
    startup.wShowWindow = show;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION child;
    string line = "\"" + ChildWriter() + "\" console";
    std::vector<char> command(line.begin(), line.end());
    command.push_back('\0');
    string text;
    if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE,
                       nullptr, nullptr, &startup, &child)) {
        CloseHandle(writeEnd);
        writeEnd = nullptr;
        char buffer[256];
        DWORD count;
        while (ReadFile(readEnd, buffer, sizeof buffer, &count, nullptr) && count > 0)
            text.append(buffer, count);
        WaitForSingleObject(child.hProcess, 10000);
        CloseHandle(child.hThread);
        CloseHandle(child.hProcess);
    }
    if (writeEnd)
        CloseHandle(writeEnd);
    CloseHandle(readEnd);
    return text;
}

TEST_F(RunnerWin, ShowsNoConsoleWindow)
{
    RunResult run = RunChild("console");
    ASSERT_EQ(0, run.result);
    EXPECT_NE(string::npos, run.text.find("visible=0")) << run.text;
    // The check can see a shown console: started without the hidden show
    // state, the same child reports its console window visible.
    string shown = ConsoleSeenByChild(0, SW_SHOWNORMAL);
    EXPECT_NE(string::npos, shown.find("visible=1")) << shown;
}

} // namespace
