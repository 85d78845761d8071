// Rounds prepared off the window thread: the repeat window over a real ROM
// folder, refused choices, and a worker whose query hangs when the session
// ends.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/random.h"
#include "config/settings.h"
#include "emulator/runner.h"
#include "saver/worker.h"
#include "support/temp_folder.h"

using std::string;

namespace {

// Every game is known, and nothing more is said of it.
int NoReport(char *command, char *output)
{
    snprintf(output, kRunnerOutputBytes, "<machine name=\"%s\">", strrchr(command, ' ') + 1);
    return 0;
}

class Rounds : public ::testing::Test {
protected:
    TempFolder folder;
    void SetUp() override
    {
        ResetSettings();
        SeedRandom(7);
        snprintf(MamePath, sizeof MamePath, "%s", folder.path().c_str());
        strcpy(MameExe, "mame");
        snprintf(MameRomsPath, sizeof MameRomsPath, "%s/roms", folder.path().c_str());
    }
    void TearDown() override
    {
        SetCommandRunner(nullptr);
        ResetSettings();
    }
    void Roms(int count)
    {
        for (int i = 0; i < count; ++i)
            folder.Write("roms/game" + std::to_string(i) + ".zip", "");
    }
};

// Is there a child of this process (a query's emulator) still running?
bool HasChild()
{
    DIR *proc = opendir("/proc");
    bool found = false;
    while (dirent *entry = readdir(proc)) {
        std::ifstream stat(string("/proc/") + entry->d_name + "/stat");
        string text;
        if (std::getline(stat, text) && text.rfind(')') != string::npos) {
            std::istringstream rest(text.substr(text.rfind(')') + 2));
            string state;
            int parent = 0;
            rest >> state >> parent;
            found = found || (parent == getpid() && state != "Z");
        }
    }
    closedir(proc);
    return found;
}

}  // namespace

TEST_F(Rounds, EveryGameOfASmallFolderComesOnceBeforeAnyRepeats)
{
    SetCommandRunner(NoReport);
    Roms(8);
    RoundRequest request;
    std::vector<string> order;
    for (int i = 0; i < 9; ++i) {
        Round round = PrepareRound(request);
        ASSERT_TRUE(round.chosen);
        EXPECT_EQ(1, round.mameOrMess);
        EXPECT_STREQ("MAME", round.title);
        EXPECT_STREQ(round.software, round.subtitle) << "no description: the game's name";
        EXPECT_STREQ(MamePath, round.folder);
        order.push_back(round.key);
        request.recent.insert(request.recent.begin(), round.key);
    }
    EXPECT_EQ(8u, std::set<string>(order.begin(), order.begin() + 8).size());
    EXPECT_EQ(order[0], order[8]) << "the window is the entry count less one";
}

TEST_F(Rounds, RefusedChoicesAreNeverTaken)
{
    SetCommandRunner(NoReport);
    Roms(2);
    RoundRequest request;
    request.refused = {"MAME\tgame0"};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ("MAME\tgame1", PrepareRound(request).key);
    request.refused.push_back("MAME\tgame1");
    EXPECT_FALSE(PrepareRound(request).chosen);
}

TEST_F(Rounds, WorkerStopsAtOnceWhileAQueryHangsAndLeavesNoChild)
{
    string hang = folder.Write("hang", "#!/bin/sh\nexec sleep 60\n");
    chmod(hang.c_str(), 0755);
    strcpy(MameExe, "hang");
    MameCheckOnlyPerfect = 1;   // every choice asks the emulator first
    Roms(1);

    RoundWorker worker;
    ASSERT_TRUE(worker.Start([](void *) { ADD_FAILURE() << "no round can be ready"; }, nullptr,
                             1));
    worker.Request(RoundRequest());
    auto start = std::chrono::steady_clock::now();
    while (!HasChild() && std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
        usleep(10000);
    ASSERT_TRUE(HasChild()) << "the query never started";

    start = std::chrono::steady_clock::now();
    EXPECT_TRUE(worker.Stop(1000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_FALSE(HasChild());
    EXPECT_TRUE(waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD) << "a zombie is left";
}
