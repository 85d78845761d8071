// Machine facts: answers from one remembered report equal the scans of the
// report itself, in the session and in the next one; a damaged cache file
// or a query that did not finish never misleads a session.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "listxml_stub.h"
#include "support/temp_folder.h"
#include "config/settings.h"
#include "emulator/facts.h"
#include "emulator/report.h"

using std::string;

namespace {

// Every test of this program keeps its cache files in a scratch folder.
TempFolder cacheHome("facts_cache_");
const int kCacheHomeSet = setenv("XDG_CACHE_HOME", cacheHome.path().c_str(), 1);

int runnerResult = 0;
int RunnerGiving(char *command, char *output)
{
    listxml_stub::Run(command, output);
    return runnerResult;
}

class Facts : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetSettings();
        strcpy(MessExe, "mame");
        ForgetMachineFacts();
        SetCommandRunner(RunnerGiving);
        runnerResult = 0;
    }
    void TearDown() override { ForgetMachineFacts(); }
    bool Get(const string &name, MachineFacts *facts, bool *cached)
    {
        return GetMachineFacts(emulator.path().c_str(), "mame", name.c_str(), facts, cached);
    }
    // A later session: only the file is left.
    void NextSession()
    {
        EXPECT_TRUE(SaveMachineFacts());
        ForgetMachineFacts();
    }
    listxml_stub::UseStubRunner stub;
    TempFolder emulator{"facts_emu_"};
    string exe = emulator.Write("mame", "version 1");
};

TEST_F(Facts, AnswersEqualTheScansOfTheReportInThisSessionAndTheNext)
{
    if (access(listxml_stub::kMame, X_OK) != 0)
        GTEST_SKIP() << "no " << listxml_stub::kMame;
    // A device without extensions lends its name; capitals, an empty value,
    // a long value and another element's value are compared as they stand.
    stub.state().reports["odd"] =
        "<mame><machine name=\"odd\"><description>Odd\n&amp;</description><year>19?\?</year>"
        "<device><instance name=\"lender\"/></device><device><instance name=\"c%1\"/>"
        "<extension name=\"BIN\"/><extension name=\"\"/><extension name=\"long\"/>"
        "<foo x=\"a\tb\"/></device><device><instance name=\"two\"/><extension name=\"bin\"/>"
        "<extension name=\"a\"/></device></machine></mame>";
    struct Row {
        const char *name;
        bool known, bios, device, runnable;
        const char *cloneOf;
    } rows[] = {{"nes", 1, 0, 0, 1, ""},     {"a2600", 1, 0, 0, 1, ""},
                {"c64", 1, 0, 0, 1, ""},     {"apple2e", 1, 0, 0, 1, ""},
                {"pacman", 1, 0, 0, 1, "puckman"}, {"NEOGEO", 1, 1, 0, 1, ""},
                {"qsound", 1, 0, 1, 0, ""},  {"nosuchgame", 0, 0, 0, 1, ""},
                {"odd", 1, 0, 0, 1, ""}};
    for (int session = 0; session < 2; ++session) {
        size_t queries = stub.state().commands.size();
        for (const Row &row : rows) {
            SCOPED_TRACE(string(row.name) + (session ? " from the file" : " from a query"));
            MachineFacts facts;
            bool cached = false;
            ASSERT_TRUE(Get(row.name, &facts, &cached));
            EXPECT_EQ(session == 1, cached);
            EXPECT_EQ(row.known, facts.known);
            EXPECT_EQ(row.bios, facts.bios);
            EXPECT_EQ(row.device, facts.device);
            EXPECT_EQ(row.runnable, facts.runnable);
            EXPECT_EQ(row.cloneOf, facts.cloneOf);
            EXPECT_EQ(row.known && !row.bios && !row.device, IsRunnableMachine(facts));

            string report = stub.state().reports.count(row.name)
                                ? stub.state().reports[row.name]
                                : listxml_stub::RealReport(row.name).substr(0, 99999);
            const char *folder = emulator.path().c_str();
            EXPECT_EQ(ScanDriverStatus(report.c_str()), IsDriverImperfect(folder, "mame", row.name));
            char d1[1024] = "-", y1[1024] = "-", d2[1024] = "-", y2[1024] = "-";
            EXPECT_EQ(ScanDriverInformation(report.c_str(), d1, y1),
                      GetDriverInformation(folder, "mame", row.name, d2, y2));
            EXPECT_STREQ(d1, d2);
            EXPECT_STREQ(y1, y2);
            // Every value the report lists, in both cases, and names without one.
            std::vector<string> files = {"x.zzz", "x.", "none", "x.jpeg", "x.a\tb"};
            for (size_t at = 0; (at = report.find("extension name=\"", at)) != string::npos;) {
                at += 16;
                string value = report.substr(at, report.find('"', at) - at);
                files.push_back("x." + value);
                for (char &c : value)
                    c = static_cast<char>(toupper(c));
                files.push_back("C:\\Soft\\X." + value);
            }
            for (const string &file : files) {
                char scanned[1024] = "", answered[1024] = "";
                int found = ScanDeviceByExtension(report.c_str(), file.c_str(), scanned);
                ASSERT_EQ(found, GetDeviceByExtension(folder, row.name, file.c_str(), answered))
                    << file;
                EXPECT_STREQ(found ? scanned : "", found ? answered : "") << file;
            }
        }
        EXPECT_EQ(session == 1 ? queries : queries + std::size(rows),
                  stub.state().commands.size());
        NextSession();
    }
}

TEST_F(Facts, DamagedOrStaleCacheIsIgnoredAndRewritten)
{
    stub.state().reports["game"] = "<machine name=\"game\"><driver status=\"good\"/>";
    MachineFacts facts;
    bool cached = false;
    ASSERT_TRUE(Get("game", &facts, &cached));
    time_t now = time(nullptr);
    RememberFailedChoice(emulator.path().c_str(), "mame", "MAME\tgame", now);
    std::filesystem::remove_all(cacheHome.path() + "/quillmere");
    NextSession();
    std::vector<string> files = FilesEndingIn(cacheHome.path() + "/quillmere", ".txt", '/');
    ASSERT_EQ(1u, files.size());
    const string good = ReadWhole(files[0]);
    struct Row {
        const char *what;
        string text;
    } rows[] = {
        {"cut in half", good.substr(0, good.size() / 2)},
        {"end line missing", good.substr(0, good.rfind("end"))},
        {"other version", "quillmere machine facts 2" + good.substr(good.find('\n'))},
        {"garbage", string("\x89PNG\r\n\x1a\n\0\0%zz\t\t\n", 17)},
        {"empty", ""},
        {"a new emulator", good},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        std::ofstream(files[0], std::ios::binary) << row.text;
        if (&row == &rows[std::size(rows) - 1])
            emulator.Write("mame", "version 22");
        EXPECT_FALSE(ChoiceFailedRecently(emulator.path().c_str(), "mame", "MAME\tgame", now));
        ASSERT_TRUE(Get("game", &facts, &cached));
        EXPECT_FALSE(cached);
        EXPECT_EQ(0, facts.driverVerdict);
        NextSession();
        ASSERT_TRUE(Get("game", &facts, &cached));
        EXPECT_TRUE(cached) << "the file was rewritten";
        ForgetMachineFacts();
    }
    // The failure watchdog's memory lasts a day, in the same file.
    RememberFailedChoice(emulator.path().c_str(), "mame", "MESS\tnes\ta b.nes", now);
    NextSession();
    for (time_t later : {now, now + kFailureMemorySeconds - 1, now + kFailureMemorySeconds})
        EXPECT_EQ(later < now + kFailureMemorySeconds,
                  ChoiceFailedRecently(emulator.path().c_str(), "mame", "MESS\tnes\ta b.nes", later));
}

TEST_F(Facts, OnlyFinishedAnswersAreRemembered)
{
    stub.state().reports["game"] = "<machine name=\"game\" isbios=\"yes\">";
    stub.state().useRealMame = false;
    struct Row {
        const char *name;
        int result;
        bool facts, remembered;
    } rows[] = {{"game", 9, false, false},  {"game", 13, false, false}, {"game", 14, false, false},
                {"nothing", 0, true, false}, {"game", 12, true, true},  {"a b", 0, false, false}};
    for (const Row &row : rows) {
        SCOPED_TRACE(std::to_string(row.result) + " " + row.name);
        ForgetMachineFacts();
        runnerResult = row.result;
        MachineFacts facts;
        bool cached = true;
        EXPECT_EQ(row.facts, Get(row.name, &facts, &cached));
        EXPECT_FALSE(cached);
        runnerResult = 0;
        EXPECT_EQ(row.facts || row.result, Get(row.name, &facts, &cached));
        EXPECT_EQ(row.remembered, cached);
    }
}

}  // namespace
