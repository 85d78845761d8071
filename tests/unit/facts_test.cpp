// Machine facts: answers from one remembered report equal the scans of the
// report itself, in the session and in the next one; a damaged cache file
// or a query that did not finish never misleads a session. (The quirks of
// the scans, on hand-made reports, are checked through quillmere-check in
// tests/e2e/test_check.py: they too are answered from facts now.)
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <tuple>

#include "support/temp_folder.h"
#include "support/test_files.h"
#include "config/settings.h"
#include "emulator/facts.h"
#include "emulator/report.h"
#include "emulator/runner.h"
#include "emulator/sets.h"

using std::string;

namespace {

// Debian's real mame, each report asked once.
const string &RealReport(const string &name)
{
    static std::map<string, string> reports;
    auto found = reports.find(name);
    return found != reports.end()
               ? found->second
               : reports[name] = CommandOutput("/usr/games/mame -listxml '" + name + "' 2>&1");
}

std::vector<string> commands;          // every query made
std::map<string, string> madeUp;       // reports answered before the real ones
bool realMame = true;

int Query(char *command, char *output)
{
    commands.push_back(command);
    string name = string(command).substr(string(command).rfind(' ') + 1);
    auto made = madeUp.find(name);
    string text = made != madeUp.end() ? made->second : realMame ? RealReport(name) : "";
    snprintf(output, kRunnerOutputBytes, "%s", text.c_str());
    return 0;
}

// Every test of this program keeps its cache files in a scratch folder.
TempFolder cacheHome("facts_cache_");
const int kCacheHomeSet = setenv("XDG_CACHE_HOME", cacheHome.path().c_str(), 1);
int runnerResult = 0;   // what the runner says of each query

class Facts : public ::testing::Test {
protected:
    void SetUp() override
    {
        ForgetMachineFacts();
        realMame = true;
        SetCommandRunner([](char *command, char *output) {
            return Query(command, output), runnerResult;
        });
        strcpy(MessExe, "mame");
    }
    void TearDown() override { SetCommandRunner(nullptr); }
    void NextSession()   // only the file is left
    {
        EXPECT_TRUE(SaveMachineFacts());
        ForgetMachineFacts();
    }
    TempFolder emulator{"facts_emu_"};
    string exe = emulator.Write("mame", "version 1");
    const char *folder = emulator.path().c_str();
    MachineFacts facts;
    bool cached = false;
};

TEST_F(Facts, AnswersEqualTheScansOfTheReportInThisSessionAndTheNext)
{
    // known, BIOS, device, runnable, screen, mechanical, preliminary, parent, romof, disks
    const std::map<string, string> expected = {
        {"nes", "1001100   "}, {"a2600", "1001100   "}, {"apple2e", "1001100   "},
        {"NEOGEO", "1101100   "}, {"qsound", "1010000   "}, {"pacman", "1001100 puckman puckman "},
        {"nosuchgame", "0001100   "}, {"30test", "1001000   "}, {"2mindril", "1001111   "},
        {"area51mx", "1001100   area51mx"}, {"a51mxr3k", "1001100 area51mx area51mx area51mx"}};
    for (bool session : {false, true}) {
        size_t queries = commands.size();
        for (const auto &[name, attributes] : expected) {
            SCOPED_TRACE(name + (session ? " from the file" : " from a query"));
            ASSERT_TRUE(GetMachineFacts(folder, "mame", name.c_str(), &facts, &cached));
            EXPECT_EQ(session, cached);
            char got[160];
            snprintf(got, sizeof got, "%d%d%d%d%d%d%d %s %s ", facts.known, facts.bios,
                     facts.device, facts.runnable, facts.screen, facts.mechanical,
                     facts.preliminary, facts.cloneOf.c_str(), facts.romOf.c_str());
            for (const string &disk : facts.disks)
                strcat(got, disk.c_str());
            EXPECT_EQ(attributes, got);

            string report = RealReport(name).substr(0, kRunnerOutputBytes - 1);
            const char *text = report.c_str();
            EXPECT_EQ(ScanDriverStatus(text), IsDriverImperfect(folder, "mame", name.c_str()));
            char d1[1024] = "-", y1[1024] = "-", d2[1024] = "-", y2[1024] = "-";
            EXPECT_EQ(ScanDriverInformation(text, d1, y1),
                      GetDriverInformation(folder, "mame", name.c_str(), d2, y2));
            EXPECT_EQ(string(d1) + y1, string(d2) + y2);
            // Every value the report lists, and names without one.
            std::vector<string> files = {"x.zzz", "x.", "none", "x.jpeg", "C:\\Soft\\X.NES"};
            for (size_t at = 0; (at = report.find("extension name=\"", at) + 1) != 0;)
                files.push_back("x." + report.substr(at + 15, report.find('"', at + 15) - at - 15));
            for (const string &file : files) {
                char scanned[1024] = "", answered[1024] = "";
                int found = ScanDeviceByExtension(text, file.c_str(), scanned);
                EXPECT_EQ(found, GetDeviceByExtension(folder, name.c_str(), file.c_str(), answered));
                EXPECT_STREQ(found ? scanned : "", found ? answered : "") << file;
            }
        }
        EXPECT_EQ(queries + (session ? 0 : expected.size()), commands.size());
        NextSession();
    }
}

TEST_F(Facts, DamagedOrStaleCacheIsIgnoredAndRewritten)
{
    madeUp["game"] = "<machine name=\"game\" isbios=\"yes\" cloneof=\"parent\">";
    ASSERT_TRUE(GetMachineFacts(folder, "mame", "game", &facts, &cached));
    std::filesystem::remove_all(cacheHome.path() + "/quillmere");
    NextSession();
    const string path = FilesEndingIn(cacheHome.path() + "/quillmere", ".txt", '/').at(0);
    const string good = ReadWhole(path), parent = "\tparent\t";
    auto later = [&] { std::filesystem::last_write_time(exe, std::filesystem::last_write_time(exe) + std::chrono::seconds(1)); };
    for (const auto &[text, change] : std::vector<std::pair<string, char>>{
             {good.substr(0, good.size() / 2), 0}, {good.substr(0, good.rfind("end")), 0}, {string(), 0},
             {"quillmere machine facts 1" + good.substr(good.find('\n')), 0}, {string("\x89PNG\0%zz\t\n", 11), 0},
             {string(good).replace(good.find(parent), parent.size(), "\t../x\t"), 0},   // a parent that is no name
             {good, 't'}, {good, 's'} /* a new version of the emulator */}) {
        SCOPED_TRACE(text);
        std::ofstream(path, std::ios::binary) << text;
        change == 't' ? later() : change == 's' ? (void)emulator.Write("mame", "version 22") : (void)0;
        ASSERT_TRUE(GetMachineFacts(folder, "mame", "game", &facts, &cached));
        EXPECT_TRUE(facts.bios && !cached) << "asked again, and asked right";
        if (change == 't') {   // in memory too
            later();
            EXPECT_TRUE(GetMachineFacts(folder, "mame", "game", &facts, &cached) && !cached);
        }
        NextSession();
        ASSERT_TRUE(GetMachineFacts(folder, "mame", "game", &facts, &cached));
        EXPECT_TRUE(cached) << "the file was rewritten";
        ForgetMachineFacts();
    }
    // The failure watchdog's memory lasts a day, in the same file.
    time_t now = time(nullptr);
    RememberFailedChoice(folder, "mame", "M\ta%b", now);
    NextSession();
    for (time_t t : {now, now + kFailureMemorySeconds - 1, now + kFailureMemorySeconds})
        EXPECT_EQ(t < now + kFailureMemorySeconds, ChoiceFailedRecently(folder, "mame", "M\ta%b", t));
    // Another process wrote its failure since this one read the file: both
    // are kept. The temporary file of an ended process goes at the write.
    const string theirs = ReadWhole(path), ended = path + ".99999999.tmp", live = path + ".1.tmp";
    ForgetMachineFacts();
    std::filesystem::remove(path);
    RememberFailedChoice(folder, "mame", "mine", now);
    for (const string &file : {path, ended, live})
        std::ofstream(file, std::ios::binary) << theirs;
    NextSession();
    EXPECT_TRUE(ChoiceFailedRecently(folder, "mame", "mine", now) && ChoiceFailedRecently(folder, "mame", "M\ta%b", now));
    EXPECT_TRUE(!std::filesystem::exists(ended) && std::filesystem::remove(live));

    // Only answers read to their end are kept; the runner's results: not
    // started, timed out, cancelled, cut at its limit.
    realMame = false;
    for (auto [name, result, answer, remembered] : std::vector<std::tuple<string, int, bool, bool>>{
             {"game", 9, 0, 0}, {"game", 13, 0, 0}, {"game", 14, 0, 0}, {"game", 12, 1, 1},
             {"empty", 0, 1, 0}, {"a b", 0, 0, 0}}) {
        SCOPED_TRACE(std::to_string(result) + " " + name);
        ForgetMachineFacts();
        std::filesystem::remove_all(cacheHome.path() + "/quillmere");
        runnerResult = result;
        EXPECT_EQ(answer, GetMachineFacts(folder, "mame", name.c_str(), &facts, &cached) && !cached);
        runnerResult = 0;
        EXPECT_EQ(answer || result, GetMachineFacts(folder, "mame", name.c_str(), &facts, &cached));
        EXPECT_EQ(remembered, cached);
    }
}

// Two round workers at once (a new session's and the last one's, still
// finishing): the answers stay right and the facts in memory whole.
TEST_F(Facts, TwoWorkersAtOnce)
{
    SetCommandRunner([](char *, char *output) { return snprintf(output, 99, "<machine name=\"game\" isbios=\"yes\">"), 0; });
    std::atomic<int> wrong{0};
    auto work = [&](bool forgetting) {
        for (int i = 0; i < 300; ++i) {
            MachineFacts seen;
            wrong += !GetMachineFacts(folder, "mame", "game", &seen, nullptr) || !seen.bios;
            RememberFailedChoice(folder, "mame", forgetting ? "a" : "b", time(nullptr));
            forgetting ? ForgetMachineFacts() : (void)SaveMachineFacts();
        }
    };
    std::thread other(work, true);
    work(false);
    other.join();
    EXPECT_EQ(0, wrong.load());
}

TEST_F(Facts, RealVerifyRomsOncePerSetUntilItsEntryChanges)
{
    SetCommandRunner(nullptr);
    TempFolder roms("facts_roms_");
    // Pong has no ROM files: good; Pac-Man's empty archive: broken (exit code 2).
    for (const char *set : {"pong.zip", "pacman.zip"})
        roms.Write(set, "");
    for (int pass = 0; pass < 3; ++pass) {
        SCOPED_TRACE(pass);
        long before = RomVerificationsRun();
        EXPECT_EQ(1, VerifyRomSet("/usr/games", "mame", roms.path().c_str(), "pong.zip", "pong"));
        EXPECT_EQ(0, VerifyRomSet("/usr/games", "mame", roms.path().c_str(), "pacman.zip", "pacman"));
        EXPECT_EQ(pass == 0 ? 2 : pass == 2 ? 1 : 0, RomVerificationsRun() - before);
        NextSession();
        if (pass == 1)   // a set that changes is judged anew
            roms.Write("pacman.zip", "PK");
    }
    EXPECT_GE(BrokenSetsFound(), 1);
}

}  // namespace
