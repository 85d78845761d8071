// The hidden runner off Windows, with real child processes: small shell
// commands and Debian's mame.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/temp_folder.h"
#include "support/test_files.h"
#include "emulator/cmdline.h"
#include "emulator/runner.h"

using std::string;

namespace {

struct RunResult {
    int result;
    string text;        // up to the first NUL, as the callers see it
    string bytes;       // the gathered bytes with their NULs, up to the terminator
    double seconds;
};

// Runs command through the runner with an output buffer filled with junk
// beforehand, so that a missing terminator or a stale text would show.
RunResult RunCommand(const string &command)
{
    std::vector<char> line(1024);
    snprintf(line.data(), line.size(), "%s", command.c_str());
    std::vector<char> output(kRunnerOutputBytes, '~');
    auto start = std::chrono::steady_clock::now();
    RunResult run;
    run.result = SilentCreateProcess(line.data(), output.data());
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.text = output.data();
    // The runner writes a NUL after every chunk; the last NUL before the junk
    // ends what was gathered.
    size_t end = 0;
    for (size_t i = 0; i < output.size() && output[i] != '~'; ++i)
        if (output[i] == '\0')
            end = i;
    run.bytes.assign(output.data(), end);
    return run;
}

// True when no child of this process is left, not even a zombie.
bool NoChildLeft()
{
    return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

// True when pid no longer runs (gone, or a zombie awaiting a reaper that is
// not us).
bool ProcessEnded(pid_t pid)
{
    string stat;
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    if (!in || !std::getline(in, stat))
        return true;
    size_t close = stat.rfind(')');
    return close != string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
}

class Runner : public ::testing::Test {
protected:
    void SetUp() override { savedLimit_ = RunnerTimeLimitMs; }
    void TearDown() override
    {
        RunnerTimeLimitMs = savedLimit_;
        EXPECT_TRUE(NoChildLeft());
    }

private:
    int savedLimit_ = 0;
};

// ---- Output and result codes ---------------------------------------------------

TEST_F(Runner, GathersWhatTheChildWrites)
{
    struct Row {
        const char *what;
        string command;
        int result;
        string text;
    } rows[] = {
        {"standard output", "/bin/sh -c \"printf hello\"", 0, "hello"},
        {"standard error only", "/bin/sh -c \"printf oops >&2\"", 0, "oops"},
        {"both, in the order written",
         "/bin/sh -c \"printf 1; printf 2 >&2; printf 3; printf 4 >&2\"", 0, "1234"},
        {"lines and line ends untouched", "/bin/sh -c \"printf 'a\\r\\nb\\n'\"", 0, "a\r\nb\n"},
        {"nothing", "/bin/sh -c true", 0, ""},
        {"exit code is not looked at", "/bin/sh -c \"printf x; exit 5\"", 0, "x"},
        {"quoted program with backslashes", "\"\\bin\\sh\" -c \"printf ok\"", 0, "ok"},
        {"program without quotes, extra blanks", "  /bin/echo   a    b  ", 0, "a b\n"},
        {"quoted argument with blanks", "/bin/echo \"a   b\" c", 0, "a   b c\n"},
        {"missing program", "\"C:\\nowhere\\mame.exe\" -listxml pacman", 9, ""},
        {"missing program without quotes", "/nonexistent/program", 9, ""},
        {"a folder is not a program", "\"/tmp\" -x", 9, ""},
        {"empty command", "", 9, ""},
        {"blank command", "   ", 9, ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        RunResult run = RunCommand(row.command);
        EXPECT_EQ(row.result, run.result);
        EXPECT_EQ(row.text, run.text);
        EXPECT_TRUE(NoChildLeft());
    }
}

// The C runtime's documented splitting rules, which the emulator applies to
// what the saver writes.
TEST(CommandLine, SplitsAsTheWindowsRuntimeDoes)
{
    struct Row {
        const char *line;
        std::vector<string> words;
    } rows[] = {
        {"\"C:\\a b\\x.exe\" d e", {"C:\\a b\\x.exe", "d", "e"}},
        {"p a\\\\b d\"e f\"g h", {"p", "a\\\\b", "de fg", "h"}},
        {"p a\\\\\\\"b c d", {"p", "a\\\"b", "c", "d"}},
        {"p a\\\\\\\\\"b c\" d e", {"p", "a\\\\b c", "d", "e"}},
        {"p -rompath \"E:\\\\\" \"galaga\"", {"p", "-rompath", "E:\\", "galaga"}},
        {"p -rompath \"E:\\roms\\\" \"galaga\"", {"p", "-rompath", "E:\\roms\" galaga"}},
        {"  p  ", {"p"}},
        {"", {}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(row.words, SplitCommandLine(row.line));
    }
}

// What the Linux edition launches: the choice joins folders with a
// backslash; the native program gets slashes, and native paths as written.
TEST(CommandLine, NativeWordsTurnJoinedPathsIntoSlashes)
{
    EXPECT_EQ((std::vector<string>{"/e/mame", "-cart", "/soft/nes/a.zip/sub/b.nes"}),
              NativeCommandWords("\"/e\\mame\" -cart \"/soft\\nes\\a.zip\\sub/b.nes\""));
}

TEST_F(Runner, ProgramPathWithBlanks)
{
    TempFolder folder("runner test ");
    ASSERT_FALSE(folder.path().empty());
    string link = folder.File("my shell");
    ASSERT_EQ(0, symlink("/bin/sh", link.c_str()));
    RunResult run = RunCommand("\"" + link + "\" -c \"printf spaced\"");
    EXPECT_EQ(0, run.result);
    EXPECT_EQ("spaced", run.text);
}

TEST_F(Runner, KeepsAtMost99999Characters)
{
    struct Row {
        int bytes;
        int result;
    } rows[] = {{99998, 0}, {99999, 0}, {100000, 12}, {250000, 12}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.bytes);
        RunResult run = RunCommand("/bin/sh -c \"head -c " + std::to_string(row.bytes) +
                             " /dev/zero | tr '\\000' x\"");
        EXPECT_EQ(row.result, run.result);
        if (row.result == 0) {
            EXPECT_EQ(string(row.bytes, 'x'), run.text);
        } else {
            // Only whole chunks read before the one that crossed the limit.
            EXPECT_LE(run.text.size(), 99999u);
            EXPECT_EQ(string(run.text.size(), 'x'), run.text);
        }
        EXPECT_TRUE(NoChildLeft());
    }
}

TEST_F(Runner, ChunkCrossingTheLimitIsDroppedWhole)
{
    // 99990 characters, a pause so that they are read as chunks of their
    // own, then 20 more: the last 20 cross the limit and are dropped.
    RunResult run = RunCommand("/bin/sh -c \"head -c 99990 /dev/zero | tr '\\000' a; sleep 0.3; "
                         "printf bbbbbbbbbbbbbbbbbbbb\"");
    EXPECT_EQ(12, run.result);
    EXPECT_EQ(string(99990, 'a'), run.text);
}

TEST_F(Runner, ZeroBytesAreStoredAsTheyCome)
{
    RunResult run = RunCommand("/bin/sh -c \"printf 'ab\\000cd\\000'\"");
    EXPECT_EQ(0, run.result);
    EXPECT_EQ("ab", run.text);
    EXPECT_EQ(string("ab\0cd\0", 6), run.bytes.substr(0, 6));
}

TEST_F(Runner, MissingProgramLeavesAnEmptyText)
{
    char line[1024] = "\"/no/such/dir/mame\" -listxml pacman";
    char output[kRunnerOutputBytes];
    strcpy(output, "stale text from an earlier query");
    EXPECT_EQ(9, SilentCreateProcess(line, output));
    EXPECT_STREQ("", output);
}

// ---- Time limit ------------------------------------------------------------------

TEST_F(Runner, HungChildIsEndedAfterTheTimeLimit)
{
    RunnerTimeLimitMs = 400;
    // The shell prints its own pid and that of a background grandchild, then
    // waits for ever.
    RunResult run = RunCommand("/bin/sh -c \"sleep 60 & printf '%s %s' $$ $!; wait\"");
    EXPECT_EQ(kRunnerTimeout, run.result);
    EXPECT_GE(run.seconds, 0.35);
    EXPECT_LT(run.seconds, 5.0);
    int shell = 0, grandchild = 0;
    ASSERT_EQ(2, sscanf(run.text.c_str(), "%d %d", &shell, &grandchild)) << run.text;
    EXPECT_TRUE(ProcessEnded(shell));
    // What it started is ended too: nothing would ever reap it otherwise.
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!ProcessEnded(grandchild) && std::chrono::steady_clock::now() < until)
        usleep(10000);
    EXPECT_TRUE(ProcessEnded(grandchild));
}

TEST_F(Runner, SilentHungChildGivesAnEmptyText)
{
    RunnerTimeLimitMs = 300;
    RunResult run = RunCommand("/bin/sleep 60");
    EXPECT_EQ(kRunnerTimeout, run.result);
    EXPECT_EQ("", run.text);
    EXPECT_LT(run.seconds, 5.0);
}

TEST_F(Runner, ChildThatClosesItsOutputAndLivesOnIsNotWaitedForEver)
{
    RunnerTimeLimitMs = 400;
    RunResult run = RunCommand("/bin/sh -c \"printf done; exec >&- 2>&-; sleep 60\"");
    // The output was read to its end: that is a success.
    EXPECT_EQ(0, run.result);
    EXPECT_EQ("done", run.text);
    EXPECT_LT(run.seconds, 5.0);
}

TEST_F(Runner, QuickChildIsNotHeldBackByTheTimeLimit)
{
    RunnerTimeLimitMs = 30000;
    RunResult run = RunCommand("/bin/sh -c \"printf quick\"");
    EXPECT_EQ(0, run.result);
    EXPECT_LT(run.seconds, 2.0);
}

// ---- RunQuery seam ----------------------------------------------------------------

int stubCalls = 0;
int StubRunner(char *, char *output)
{
    ++stubCalls;
    strcpy(output, "stub");
    return 42;
}

TEST_F(Runner, RunQueryUsesTheStubOnlyWhileItIsSet)
{
    char line[1024] = "/bin/sh -c \"printf real\"";
    char output[kRunnerOutputBytes];
    SetCommandRunner(StubRunner);
    EXPECT_EQ(42, RunQuery(line, output));
    EXPECT_STREQ("stub", output);
    EXPECT_EQ(1, stubCalls);
    SetCommandRunner(nullptr);
    EXPECT_EQ(0, RunQuery(line, output));
    EXPECT_STREQ("real", output);
    EXPECT_EQ(1, stubCalls);
}

// ---- The real emulator --------------------------------------------------------------

TEST_F(Runner, RealMameReports)
{
    if (access("/usr/games/mame", X_OK) != 0)
        GTEST_SKIP() << "no /usr/games/mame";
    for (const char *name : {"pacman", "nes", "c64", "nosuchgame"}) {
        SCOPED_TRACE(name);
        string whole = CommandOutput(string("/usr/games/mame -listxml ") + name + " 2>&1");
        ASSERT_FALSE(whole.empty());
        // The way the queries write it: folder, backslash, file name.
        RunResult run = RunCommand(string("\"/usr/games\\mame\" -listxml ") + name);
        if (whole.size() <= 99999) {
            EXPECT_EQ(0, run.result);
            EXPECT_EQ(whole, run.text);
        } else {
            EXPECT_EQ(12, run.result);
            EXPECT_EQ(whole.substr(0, run.text.size()), run.text);
        }
    }
    RunResult unknown = RunCommand("\"/usr/games\\mame\" -listxml nosuchgame");
    EXPECT_EQ("No matching machines found for 'nosuchgame'\n", unknown.text);
}

} // namespace
