// The round worker under the sanitizers: when the session ends while a query
// hangs, the worker stops at once and no child is left; a picture too large
// for the memory left costs the round its picture only; after a search that
// met broken sets the worker judges the folder's other sets while the game
// runs, and the next round takes a set so judged that still holds. (Refused choices are seen end to end: tests/e2e/test_rounds.py.)
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <fstream>
#include <mutex>
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
#include "support/test_files.h"
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

// Settings for one game in folder/roms, its emulator folder/exe.
void OneGame(const TempFolder &folder, const char *exe)
{
    folder.Write("roms/game.zip", "");
    ResetSettings();
    snprintf(MamePath, sizeof MamePath, "%s", folder.path().c_str());
    strcpy(MameExe, exe);
    snprintf(MameRomsPath, sizeof MameRomsPath, "%s/roms", folder.path().c_str());
}

// Allocations of more bytes fail, as on a machine short of memory (the
// sanitizer's own operator new would end the program instead of throwing).
size_t failAllocationsAbove = SIZE_MAX;

}  // namespace

void *operator new(size_t size)
{
    static auto *next = reinterpret_cast<void *(*)(size_t)>(dlsym(RTLD_NEXT, "_Znwm"));
    if (size > failAllocationsAbove)
        throw std::bad_alloc();
    return next(size);
}

TEST(RoundWorker, PictureTooLargeForMemoryCostsTheRoundItsPictureOnly)
{
    TempFolder folder;
    OneGame(folder, "mame");
    folder.Write("mame", "");
    folder.Folder("snap");
    CommandOutput("convert -size 2000x1000 xc:blue PNG24:'" + folder.File("snap/game.png") + "'");   // 6 MB decoded
    SetCommandRunner([](char *, char *output) {
        ReportRunExitCode(0);   // -verifyroms: a good set
        return snprintf(output, kRunnerOutputBytes, "<machine name=\"game\"><display/><driver status=\"good\"/>"), 0;
    });
    for (auto [limit, width] : {std::make_pair(SIZE_MAX, 2000), std::make_pair(size_t{1} << 20, 0)}) {
        failAllocationsAbove = limit;
        Round round = PrepareRound(RoundRequest());
        failAllocationsAbove = SIZE_MAX;
        EXPECT_EQ("game " + std::to_string(width), round.software + (" " + std::to_string(round.picture.width)));
    }
    SetCommandRunner(nullptr);
    ResetSettings();
}

TEST(RoundWorker, StopsAtOnceWhileAQueryHangsAndLeavesNoChild)
{
    TempFolder folder;
    chmod(folder.Write("hang", "#!/bin/sh\nexec sleep 60\n").c_str(), 0755);
    OneGame(folder, "hang");

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

namespace {

std::mutex verifiedMutex;
std::set<string> verified;   // sets the stub's -verifyroms was asked about

// A MAME that finds every set broken.
int StubMame(char *command, char *output)
{
    string line = command, name = line.substr(line.rfind(' ') + 1);
    snprintf(output, kRunnerOutputBytes,
             "<machine name=\"%s\"><display/><driver status=\"good\"/></machine>", name.c_str());
    if (line.find(" -verifyroms ") != string::npos) {
        std::lock_guard<std::mutex> lock(verifiedMutex);
        verified.insert(name);
        ReportRunExitCode(2);
    }
    return 0;
}

size_t Verified()
{
    std::lock_guard<std::mutex> lock(verifiedMutex);
    return verified.size();
}

}  // namespace

TEST(RoundWorker, JudgesTheFolderAheadBetweenRoundsAfterMeetingBrokenSets)
{
    TempFolder folder;
    for (int i = 0; i < 5; ++i)
        folder.Write("roms/broken" + std::to_string(i) + ".zip", "");
    folder.Write("mame", "");
    ResetSettings();
    snprintf(MamePath, sizeof MamePath, "%s", folder.path().c_str());
    strcpy(MameExe, "mame");
    snprintf(MameRomsPath, sizeof MameRomsPath, "%s/roms", folder.path().c_str());
    SetCommandRunner(StubMame);

    RoundWorker worker;
    ASSERT_TRUE(worker.Start([](void *) {}, nullptr, 7));
    worker.Request(RoundRequest());
    Round round;
    auto start = std::chrono::steady_clock::now();
    while (!worker.Take(&round) && std::chrono::steady_clock::now() - start < std::chrono::seconds(30))
        usleep(1000);
    EXPECT_FALSE(round.chosen);
    EXPECT_EQ(5, round.brokenSets);
    EXPECT_EQ("Every set in " + folder.path() + "/roms was found broken", string(round.deadEnd));
    // No request more: sets that come meanwhile are judged all the same,
    // until a run of draws meets only known ones.
    for (int i = 5; i < 40; ++i)
        folder.Write("roms/broken" + std::to_string(i) + ".zip", "");
    while (Verified() < 30 && std::chrono::steady_clock::now() - start < std::chrono::seconds(60))
        usleep(10000);
    EXPECT_LE(30u, Verified());
    EXPECT_TRUE(worker.Stop(1000));
    SetCommandRunner(nullptr);
    ResetSettings();
}

namespace {

// A MAME in which only "good" starts.
int OneGoodSet(char *command, char *output)
{
    string line = command, name = line.substr(line.rfind(' ') + 1);
    snprintf(output, kRunnerOutputBytes,
             "<machine name=\"%s\"><display/><driver status=\"good\"/></machine>", name.c_str());
    if (line.find(" -verifyroms ") != string::npos)
        ReportRunExitCode(name == "good" ? 0 : 2);
    return 0;
}

int judgeDraw()
{
    static unsigned state = 1;
    return static_cast<int>((state = state * 1103515245u + 12345u) >> 16) & kRandomMax;
}

int fixedDraw = 0;   // where a round's every draw lands: on a broken set

// The position readdir gives name in folder, as the chooser counts entries.
int PositionIn(const string &folder, const string &name)
{
    DIR *dir = opendir(folder.c_str());
    int position = 0, found = -1;
    while (dirent *entry = readdir(dir)) {
        if (!strcmp(entry->d_name, ".") || !strcmp(entry->d_name, ".."))
            continue;
        if (name == entry->d_name)
            found = position;
        ++position;
    }
    closedir(dir);
    return found;
}

}  // namespace

TEST(RoundWorker, TheNextRoundTakesASetJudgedAheadWhileItStillHolds)
{
    enum Change { Nothing, Repeat, Refused, FoundBroken, Rewritten, Removed };
    // The round's own draws all land on a broken set: it shows the good set
    // only when it takes the one judged ahead.
    struct Row {
        Change change;
        bool taken;
    } rows[] = {{Nothing, true},      {Repeat, false},    {Refused, false},
                {FoundBroken, false}, {Rewritten, false}, {Removed, false}};
    SetCommandRunner(OneGoodSet);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.change);
        SetRandomSource(judgeDraw);
        TempFolder folder;   // an emulator of its own: nothing remembered
        folder.Write("roms/good.zip", "");
        for (int i = 0; i < 10; ++i)
            folder.Write("roms/broken" + std::to_string(i) + ".zip", "");
        folder.Write("mame", "");
        OneGame(folder, "mame");
        for (int step = 0; step < 2000 && ReadyChoicesHeld() == 0; ++step)
            JudgeAhead();
        ASSERT_EQ(1u, ReadyChoicesHeld());
        // Once the folder is known, more steps find the same set only.
        for (int step = 0; step < 100; ++step)
            JudgeAhead();
        EXPECT_EQ(1u, ReadyChoicesHeld());

        RoundRequest request;
        const string entry = folder.path() + "/roms/good.zip", key = RoundKey(1, "", "good");
        if (row.change == Repeat)
            request.recent.push_back(key);
        if (row.change == Refused)
            request.refused.push_back(key);
        if (row.change == FoundBroken)
            request.broken.push_back({1, MameRomsPath + string("\\good.zip")});
        if (row.change == Rewritten)
            folder.Write("roms/good.zip", "PK");
        if (row.change == Removed)
            unlink(entry.c_str());
        fixedDraw = PositionIn(folder.path() + "/roms", "broken0.zip");
        SetRandomSource([] { return fixedDraw; });
        Round round = PrepareRound(request);
        EXPECT_EQ(0u, ReadyChoicesHeld());
        EXPECT_EQ(row.taken, round.chosen) << round.software;
        EXPECT_EQ(row.taken ? "good" : "", string(round.software));
    }
    SetRandomSource(nullptr);
    SetCommandRunner(nullptr);
    ResetSettings();
}

TEST(RoundWorker, NothingToChooseSaysWhy)
{
    TempFolder folder;
    folder.Write("mame", "");
    folder.Folder("empty");
    folder.Folder("soft/nes");
    const string f = folder.path();
    struct Row {
        string roms, software, why;
    } rows[] = {
        {"", "", "No ROM folder is set; No software folder is set"},
        {f + "/none", "", "The ROM folder " + f + "/none cannot be opened; No software folder is set"},
        {f + "/empty", f + "/empty", "The ROM folder " + f + "/empty is empty; The software folder " + f + "/empty is empty"},
        {f + "/empty", f + "/soft", ""},   // a system folder: MESS may yet find something
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.roms + "|" + row.software);
        ResetSettings();
        for (char *path : {MamePath, MessPath})
            snprintf(path, kTextSetting, "%s", f.c_str());
        strcpy(MameExe, "mame");
        strcpy(MessExe, "mame");
        snprintf(MameRomsPath, kTextSetting, "%s", row.roms.c_str());
        snprintf(MessSoftwarePath, kTextSetting, "%s", row.software.c_str());
        Round round = PrepareRound(RoundRequest());
        EXPECT_FALSE(round.chosen);
        EXPECT_EQ(row.why, string(round.deadEnd));
    }
    ResetSettings();
}
