// The hidden runner off Windows, with real child processes, and the command
// line splitting that both native runners share.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "emulator/cmdline.h"
#include "emulator/runner.h"

using std::string;

namespace {

struct RunResult {
    int result;
    string text;   // up to the first NUL, as the callers see it
    double seconds;
};

// Runs command with an output buffer full of junk beforehand, so that a
// missing terminator or a stale text would show.
RunResult RunCommand(const string &command, int limitMs)
{
    RunnerTimeLimitMs = limitMs;
    std::vector<char> line(1024), output(kRunnerOutputBytes, '~');
    snprintf(line.data(), line.size(), "%s", command.c_str());
    auto start = std::chrono::steady_clock::now();
    RunResult run;
    run.result = SilentCreateProcess(line.data(), output.data());
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.text = output.data();
    RunnerTimeLimitMs = 30000;
    return run;
}

bool NoChildLeft()
{
    return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

// True once pid has ended (gone, or a zombie that is not ours to reap).
bool ProcessEnded(int pid)
{
    string stat;
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    if (!in || !std::getline(in, stat))
        return true;
    size_t close = stat.rfind(')');
    return close != string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
}

string Sh(const string &script)
{
    return "/bin/sh -c \"" + script + "\"";
}

}  // namespace

TEST(Runner, OutputResultAndTimeLimit)
{
    const string xs = "head -c %d /dev/zero | tr '\\000' x";
    char exactly[64], over[64];
    snprintf(exactly, sizeof exactly, xs.c_str(), 99999);
    snprintf(over, sizeof over, xs.c_str(), 250000);
    struct Row {
        const char *what;
        string command;
        int limitMs, result;
        string text;
    } rows[] = {
        {"standard output", Sh("printf hello"), 30000, 0, "hello"},
        {"both streams, in the order written",
         Sh("printf 1; printf 2 >&2; printf 3; printf 4 >&2"), 30000, 0, "1234"},
        {"quoted program written the Windows way", "\"\\bin\\sh\" -c \"printf ok\"", 30000, 0,
         "ok"},
        {"missing program", "\"C:\\nowhere\\mame.exe\" -listxml pacman", 30000, 9, ""},
        {"a folder is no program", "\"/tmp\" -x", 30000, 9, ""},
        {"blank command", "   ", 30000, 9, ""},
        {"exactly 99999 characters", Sh(exactly), 30000, 0, string(99999, 'x')},
        {"the chunk crossing the limit is dropped whole",
         Sh("head -c 99990 /dev/zero | tr '\\000' a; sleep 0.3; printf bbbbbbbbbbbbbbbbbbbb"),
         30000, 12, string(99990, 'a')},
        {"zero bytes end the text", Sh("printf 'ab\\000cd'"), 30000, 0, "ab"},
        {"silent hung child is ended at the limit", "/bin/sleep 60", 300, kRunnerTimeout, ""},
        {"output closed, child lives on: a success", Sh("printf done; exec >&- 2>&-; sleep 60"),
         400, 0, "done"},
        {"real emulator, unknown machine", "\"/usr/games\\mame\" -listxml nosuchgame", 30000, 0,
         "No matching machines found for 'nosuchgame'\n"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        RunResult run = RunCommand(row.command, row.limitMs);
        EXPECT_EQ(row.result, run.result);
        // Compared whole, reported short: some texts are 99999 characters.
        EXPECT_TRUE(row.text == run.text) << run.text.size() << " characters: "
                                          << run.text.substr(0, 60);
        EXPECT_LT(run.seconds, 5.0);
        EXPECT_TRUE(NoChildLeft());
    }
    RunResult run = RunCommand(Sh(over), 30000);
    EXPECT_EQ(12, run.result);
    EXPECT_LE(run.text.size(), 99999u);
}

TEST(Runner, HungChildIsEndedWithWhatItStarted)
{
    // The shell prints its pid and a background grandchild's, then waits.
    RunResult run = RunCommand(Sh("sleep 60 & printf '%s %s' $$ $!; wait"), 400);
    EXPECT_EQ(kRunnerTimeout, run.result);
    int shell = 0, grandchild = 0;
    ASSERT_EQ(2, sscanf(run.text.c_str(), "%d %d", &shell, &grandchild)) << run.text;
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!(ProcessEnded(shell) && ProcessEnded(grandchild)) &&
           std::chrono::steady_clock::now() < until)
        usleep(10000);
    EXPECT_TRUE(ProcessEnded(shell) && ProcessEnded(grandchild));
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
