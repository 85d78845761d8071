// The round worker under the sanitizers: when the session ends while a query
// hangs, the worker stops at once and no child is left. (The repeat window
// and refused choices are seen end to end: tests/e2e/test_rounds.py.)
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "config/settings.h"
#include "saver/worker.h"
#include "support/temp_folder.h"

using std::string;

namespace {

// Is a child of this process (a query's emulator) still running?
bool HasChild()
{
    DIR *proc = opendir("/proc");
    bool found = false;
    while (dirent *entry = readdir(proc)) {
        std::ifstream stat(string("/proc/") + entry->d_name + "/stat");
        string text, state;
        int parent = 0;
        if (std::getline(stat, text) && text.rfind(')') != string::npos) {
            std::istringstream(text.substr(text.rfind(')') + 2)) >> state >> parent;
            found = found || (parent == getpid() && state != "Z");
        }
    }
    closedir(proc);
    return found;
}

}  // namespace

TEST(RoundWorker, StopsAtOnceWhileAQueryHangsAndLeavesNoChild)
{
    TempFolder folder;
    string hang = folder.Write("hang", "#!/bin/sh\nexec sleep 60\n");
    chmod(hang.c_str(), 0755);
    folder.Write("roms/game.zip", "");
    ResetSettings();
    snprintf(MamePath, sizeof MamePath, "%s", folder.path().c_str());
    strcpy(MameExe, "hang");
    snprintf(MameRomsPath, sizeof MameRomsPath, "%s/roms", folder.path().c_str());

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
    ResetSettings();
}
