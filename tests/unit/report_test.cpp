// The -listxml scans: on hand-made reports through a stub runner, and on real
// reports of Debian's mame, whose expected answers are worked out here with
// regular expressions over the very text the scans were given.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "support/test_files.h"
#include "config/settings.h"
#include "emulator/facts.h"
#include "emulator/report.h"
#include "emulator/runner.h"

using std::string;

namespace {

// ---- Stub runner -------------------------------------------------------------

// What the stub hands out, byte for byte (may hold NULs and need not end in
// one: the stub copies exactly these bytes into the 100000-byte buffer).
string stubBytes;
bool stubAddsNul = true;
string lastCommand;
int runs = 0;

int StubRunner(char *command, char *output)
{
    ++runs;
    lastCommand = command;
    size_t n = std::min(stubBytes.size(), static_cast<size_t>(kRunnerOutputBytes));
    memcpy(output, stubBytes.data(), n);
    if (stubAddsNul && n < static_cast<size_t>(kRunnerOutputBytes))
        output[n] = '\0';
    return 0;
}

class ReportScan : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetSettings();
        strcpy(MessExe, "mess.exe");
        stubBytes.clear();
        stubAddsNul = true;
        lastCommand.clear();
        runs = 0;
        SetCommandRunner(StubRunner);
    }
    void TearDown() override
    {
        SetCommandRunner(nullptr);
        ResetSettings();
    }

    static int Device(const string &report, const char *fileName, string *device)
    {
        stubBytes = report;
        char buffer[1024];
        strcpy(buffer, "untouched");
        int found = GetDeviceByExtension("C:\\Mess", "sys", fileName, buffer);
        *device = buffer;
        return found;
    }
    static int Status(const string &report)
    {
        stubBytes = report;
        return IsDriverImperfect("C:\\Mame", "mame.exe", "game");
    }
};

// A report of one machine with the given inner text, behind a DTD that names
// instances and extensions the way the emulator's own does.
string MachineReport(const string &inner)
{
    return "<?xml version=\"1.0\"?>\n<!DOCTYPE mame [\n"
           "<!ELEMENT device (instance?, extension*)>\n"
           "<!ATTLIST instance name CDATA #REQUIRED>\n"
           "<!ATTLIST extension name CDATA #REQUIRED>\n"
           "<!ATTLIST driver status (good|imperfect|preliminary) #REQUIRED>\n]>\n"
           "<mame build=\"0.251\">\n\t<machine name=\"sys\" sourcefile=\"sys.cpp\">\n" +
           inner + "\t</machine>\n</mame>\n";
}

string DeviceElement(const string &instance, const std::vector<string> &extensions)
{
    string text = "\t\t<device type=\"cartridge\" tag=\"" + instance + "\">\n"
                  "\t\t\t<instance name=\"" + instance + "\" briefname=\"c\"/>\n";
    for (const string &extension : extensions)
        text += "\t\t\t<extension name=\"" + extension + "\"/>\n";
    return text + "\t\t</device>\n";
}

// ---- StrToLower --------------------------------------------------------------

TEST(StrToLower, ChangesOnlyAsciiCapitals)
{
    struct Row {
        const char *in, *out;
    } rows[] = {
        {"", ""},
        {"ABCXYZ", "abcxyz"},
        {"abc", "abc"},
        {"Nes.BIN", "nes.bin"},
        {"@[`{09_-", "@[`{09_-"},          // the neighbours of A-Z and a-z stay
        {"\xC4\xD6\xDC\xC9x\xFF", "\xC4\xD6\xDC\xC9x\xFF"},   // bytes above 127 stay
        {"A\xC0Z", "a\xC0z"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.in);
        char text[32];
        strcpy(text, row.in);
        StrToLower(text);
        EXPECT_STREQ(row.out, text);
    }
}

// ---- GetDeviceByExtension on hand-made reports ---------------------------------

TEST_F(ReportScan, DeviceOfOneCartridgeSlot)
{
    string report = MachineReport(DeviceElement("cartA", {"bin", "rom"}));
    struct Row {
        const char *file;
        int found;
    } rows[] = {
        {"x.BIN", 1}, {"dir\\x.rom", 1}, {"C:\\soft\\nes\\game.Rom", 1}, {"x.img", 0},
        {"nodot", 0}, {"x.jpeg", 0}, {"x.bi", 0}, {"x.binn", 0}, {"bin", 0}, {".bin", 1},
        {"a.bin.", 0}, {"", 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.file);
        string device;
        runs = 0;
        EXPECT_EQ(row.found, Device(report, row.file, &device));
        if (row.found) {
            EXPECT_EQ("cartA", device);
        }
        // The emulator is asked even when the name has no usable extension.
        EXPECT_EQ(1, runs);
        EXPECT_EQ("\"C:\\Mess\\mess.exe\" -listxml sys", lastCommand);
    }
}

TEST_F(ReportScan, DeviceScanEdgeCases)
{
    struct Row {
        const char *what;
        string report;
        const char *file;
        int found;
        const char *device;   // when found
    } rows[] = {
        {"values in capitals never match", MachineReport(DeviceElement("cartA", {"BIN", "ROM"})),
         "x.bin", 0, ""},
        {"capitals, capital file name", MachineReport(DeviceElement("cartA", {"BIN"})), "x.BIN", 0,
         ""},
        {"first of two devices wins",
         MachineReport(DeviceElement("cart1", {"bin"}) + DeviceElement("cart2", {"bin"})),
         "x.bin", 1, "cart1"},
        {"second device's own extension",
         MachineReport(DeviceElement("cart1", {"a0"}) + DeviceElement("cart2", {"bin", "e0"})),
         "x.e0", 1, "cart2"},
        {"device without extensions lends its name",
         MachineReport(DeviceElement("printer", {}) + DeviceElement("cartB", {"bin"})), "x.bin",
         1, "printer"},
        {"entries before the first machine only",
         "<!DOCTYPE x [ <instance name=\"cartA\"/><extension name=\"bin\"/></device> ]>\n"
         "<mame><machine name=\"sys\"><description>S</description></machine></mame>",
         "x.bin", 0, ""},
        {"empty report", "", "x.bin", 0, ""},
        {"machine without devices", MachineReport("\t\t<description>S</description>\n"), "x.bin",
         0, ""},
        {"empty extension value and a name ending in a dot",
         MachineReport(DeviceElement("cartA", {"bin", ""})), "x.", 1, "cartA"},
        {"one-character extension", MachineReport(DeviceElement("cartA", {"a", "b"})), "x.b", 1,
         "cartA"},
        {"report cut inside a value", "<machine name=\"sys\"><instance name=\"c\"/>"
                                      "<extension name=\"bi",
         "x.bin", 0, ""},
        {"report cut inside the device name", "<machine name=\"sys\"><instance name=\"car",
         "x.bin", 0, ""},
        {"report cut before the closing tag",
         "<machine name=\"sys\"><instance name=\"c\"/><extension name=\"rom\"", "x.bin", 0, ""},
        {"instance name without a quote", "<machine name=\"sys\"><instance name=c/>", "x.bin",
         0, ""},
        {"any next element's first value is compared",
         MachineReport("\t\t<device><instance name=\"cartA\"/><extension name=\"rom\"/>"
                       "<foo bar=\"bin\"/></device>\n"),
         "x.bin", 1, "cartA"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        string device;
        int found = Device(row.report, row.file, &device);
        EXPECT_EQ(row.found, found);
        if (row.found) {
            EXPECT_EQ(row.device, device);
        }
    }
}

TEST_F(ReportScan, DeviceNameLongerThanItsBufferIsNeverGiven)
{
    string longest(1023, 'd');
    string tooLong(1024, 'd');
    string device;

    EXPECT_EQ(1, Device(MachineReport(DeviceElement(longest, {"bin"})), "x.bin", &device));
    EXPECT_EQ(longest, device);

    EXPECT_EQ(0, Device(MachineReport(DeviceElement(tooLong, {"bin"})), "x.bin", &device));
    EXPECT_LT(device.size(), 1024u);

    // Only the overlong device is refused: a later one that takes the
    // extension is still found.
    EXPECT_EQ(1, Device(MachineReport(DeviceElement(tooLong, {"rom"}) +
                                      DeviceElement("cart2", {"bin"})),
                        "x.bin", &device));
    EXPECT_EQ("cart2", device);
}

TEST_F(ReportScan, ExtensionValueLongerThanItsBufferIsSkipped)
{
    string device;
    string longValue = "bin" + string(200, 'x');
    EXPECT_EQ(1, Device(MachineReport(DeviceElement("cartA", {longValue, "bin"})), "x.bin",
                        &device));
    EXPECT_EQ("cartA", device);
    EXPECT_EQ(0, Device(MachineReport(DeviceElement("cartA", {longValue})), "x.bin", &device));
}

TEST_F(ReportScan, ScansStopAtTheReportsEnd)
{
    // Bytes after the report's NUL must not be scanned.
    string device;
    string report = "<machine name=\"sys\"><instance name=\"cartA\"/>";
    report += '\0';
    report += "<extension name=\"bin\"/></device><driver status=\"good\"/>"
              "<description>D</description><year>1</year>";
    EXPECT_EQ(0, Device(report, "x.bin", &device));
    EXPECT_EQ(1, Status(report));
    char description[1024], year[1024];
    EXPECT_EQ(0, GetDriverInformation("C:\\M", "m.exe", "g", description, year));

    // A runner that fills the whole buffer without a NUL: the scans still end
    // inside it (the sanitizer catches any read past it).
    stubBytes.assign(kRunnerOutputBytes, 'a');
    const char head[] = "<machine name=\"s\"><instance name=\"c\"/><extension name=\"";
    memcpy(&stubBytes[0], head, strlen(head));
    stubBytes[kRunnerOutputBytes - 1] = '"';
    stubAddsNul = false;
    char name[1024];
    EXPECT_EQ(0, GetDeviceByExtension("C:\\M", "s", "x.bin", name));
    EXPECT_EQ(1, IsDriverImperfect("C:\\M", "m.exe", "g"));
}

TEST_F(ReportScan, CommandThatDoesNotFitRunsNothing)
{
    string folder(1000, 'f');
    stubBytes = MachineReport("\t\t<description>D</description>\n\t\t<year>1</year>\n"
                              "\t\t<driver status=\"good\"/>\n" +
                              DeviceElement("cartA", {"bin"}));
    char device[1024] = "untouched", description[1024] = "untouched", year[1024] = "untouched";
    EXPECT_EQ(0, GetDeviceByExtension(folder.c_str(), "a_rather_long_system_name", "x.bin",
                                      device));
    EXPECT_EQ(1, IsDriverImperfect(folder.c_str(), "a_rather_long_exe_name.exe", "game"));
    EXPECT_EQ(0, GetDriverInformation(folder.c_str(), "a_rather_long_exe_name.exe", "game",
                                      description, year));
    EXPECT_EQ(0, runs);
    EXPECT_STREQ("untouched", description);

    // The longest command that fits is run.
    string exactFolder(1023 - strlen("\"\\mess.exe\" -listxml sys"), 'f');
    EXPECT_EQ(1, GetDeviceByExtension(exactFolder.c_str(), "sys", "x.bin", device));
    EXPECT_EQ(1, runs);
    EXPECT_EQ(1023u, lastCommand.size());
}

TEST_F(ReportScan, NamesThatWouldAddOptionsRunNothing)
{
    stubBytes = MachineReport("\t\t<description>D</description>\n\t\t<year>1</year>\n"
                              "\t\t<driver status=\"good\"/>\n" +
                              DeviceElement("cartA", {"bin"}));
    for (const char *name : {"a -b", "-listfull", "game\"x", "", "x\ty", "pac.man"}) {
        SCOPED_TRACE(name);
        runs = 0;
        char device[1024], description[1024], year[1024];
        EXPECT_EQ(0, GetDeviceByExtension("C:\\Mess", name, "x.bin", device));
        EXPECT_EQ(1, IsDriverImperfect("C:\\Mame", "mame.exe", name));
        EXPECT_EQ(0, GetDriverInformation("C:\\Mame", "mame.exe", name, description, year));
        EXPECT_EQ(0, runs);
    }
    // A plain driver name is asked as usual.
    EXPECT_EQ(0, IsDriverImperfect("C:\\Mame", "mame.exe", "pac_man2"));
    EXPECT_EQ(1, runs);
    EXPECT_EQ("\"C:\\Mame\\mame.exe\" -listxml pac_man2", lastCommand);
}

// ---- IsDriverImperfect ---------------------------------------------------------

TEST_F(ReportScan, DriverStatus)
{
    const string good = "\t\t<driver status=\"good\" emulation=\"good\"/>\n";
    const string goodRom = "\t\t<rom name=\"a.bin\" size=\"1\" status=\"good\"/>\n";
    const string badRom = "\t\t<rom name=\"b.bin\" size=\"1\" status=\"baddump\"/>\n";
    const string noRom = "\t\t<rom name=\"c.bin\" size=\"1\" status=\"nodump\"/>\n";
    struct Row {
        const char *what;
        string report;
        int result;
    } rows[] = {
        {"empty report", "", 1},
        {"unknown machine", "No matching machines found for 'game'\n", 1},
        {"no driver element", MachineReport(goodRom), 1},
        {"good driver", MachineReport(goodRom + good), 0},
        {"good status, another attribute imperfect",
         MachineReport("\t\t<driver status=\"good\" emulation=\"imperfect\"/>\n"), 1},
        {"imperfect status", MachineReport("\t\t<driver status=\"imperfect\"/>\n"), 1},
        {"imperfect feature after the driver",
         MachineReport(good + "\t\t<feature type=\"sound\" status=\"imperfect\"/>\n"), 1},
        {"preliminary status", MachineReport("\t\t<driver status=\"preliminary\"/>\n"), 2},
        {"preliminary and imperfect",
         MachineReport("\t\t<driver status=\"preliminary\" emulation=\"imperfect\"/>\n"), 1},
        {"bad dump after a good driver", MachineReport(good + badRom), 3},
        {"missing dump only", MachineReport(goodRom + noRom + good), 4},
        {"bad and missing dumps", MachineReport(noRom + badRom + good), 3},
        {"imperfect before the driver does not count",
         MachineReport("\t\t<feature status=\"imperfect\"/>\n" + good), 0},
        {"nodump before the driver counts",
         MachineReport("\t\t<foo imperfect=\"1\"/>\n" + noRom + good), 4},
        {"preliminary beats a bad dump",
         MachineReport(badRom + "\t\t<driver status=\"preliminary\"/>\n"), 2},
        {"unquoted dump status is not a marker",
         MachineReport(good + "\t\t<rom status=baddump/>\n"), 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        runs = 0;
        EXPECT_EQ(row.result, Status(row.report));
        EXPECT_EQ(1, runs);
        EXPECT_EQ("\"C:\\Mame\\mame.exe\" -listxml game", lastCommand);
    }
}

// ---- GetDriverInformation ------------------------------------------------------

TEST_F(ReportScan, DescriptionAndYear)
{
    struct Row {
        const char *what;
        string report;
        int result;
        const char *description;   // what the buffer holds afterwards
        const char *year;
    } rows[] = {
        {"both", MachineReport("\t\t<description>Game One</description>\n\t\t<year>1984</year>\n"),
         1, "Game One", "1984"},
        {"no year element", MachineReport("\t\t<description>Game One</description>\n"), 0,
         "Game One", "unchanged"},
        {"no description element", MachineReport("\t\t<year>1984</year>\n"), 0, "unchanged",
         "unchanged"},
        {"empty description", MachineReport("\t\t<description></description><year>19\?\?</year>"),
         1, "", "19\?\?"},
        {"year before the description is not seen",
         MachineReport("\t\t<year>1984</year>\n\t\t<description>G</description>\n"), 0, "G",
         "unchanged"},
        {"year after the description is found even far away",
         MachineReport("\t\t<description>G</description>\n\t\t<rom/>\n\t\t<year>2001</year>\n"),
         1, "G", "2001"},
        {"entities and blanks stay as they are",
         MachineReport("<description> Pac &amp; Pal\n</description><year> 1983 </year>"), 1,
         " Pac &amp; Pal\n", " 1983 "},
        {"first machine's values",
         MachineReport("<description>First</description><year>1</year>"
                       "<machine><description>Second</description><year>2</year>"),
         1, "First", "1"},
        {"unclosed description", MachineReport("\t\t<description>Game One\n"), 0, "unchanged",
         "unchanged"},
        {"unclosed year", MachineReport("<description>G</description><year>1984"), 0, "G",
         "unchanged"},
        {"empty report", "", 0, "unchanged", "unchanged"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        stubBytes = row.report;
        char description[1024] = "unchanged", year[1024] = "unchanged";
        EXPECT_EQ(row.result,
                  GetDriverInformation("C:\\Mess", "mess.exe", "sys", description, year));
        EXPECT_STREQ(row.description, description);
        EXPECT_STREQ(row.year, year);
        EXPECT_EQ("\"C:\\Mess\\mess.exe\" -listxml sys", lastCommand);
    }
}

TEST_F(ReportScan, DescriptionOrYearLongerThanItsBufferIsRefused)
{
    string longest(1023, 'x'), tooLong(1024, 'x');
    struct Row {
        const char *what;
        string description, year;
        int result;
        bool descriptionKept, yearKept;
    } rows[] = {
        {"both at the limit", longest, longest, 1, true, true},
        {"description too long", tooLong, "1984", 0, false, false},
        {"year too long", "Game", tooLong, 0, true, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        stubBytes = MachineReport("<description>" + row.description + "</description><year>" +
                                  row.year + "</year>");
        // Guard bytes right behind each 1024-byte buffer show any overrun.
        char description[1024 + 16], year[1024 + 16];
        memset(description, '#', sizeof description);
        memset(year, '#', sizeof year);
        EXPECT_EQ(row.result, GetDriverInformation("C:\\M", "m.exe", "g", description, year));
        EXPECT_EQ(string(16, '#'), string(description + 1024, 16));
        EXPECT_EQ(string(16, '#'), string(year + 1024, 16));
        if (row.descriptionKept) {
            EXPECT_EQ(row.description, string(description));
        } else {
            EXPECT_LT(strnlen(description, 1024), 1024u);
        }
        if (row.yearKept) {
            EXPECT_EQ(row.year, string(year));
        }
    }
}

// ---- Real reports of Debian's mame ---------------------------------------------

const char kMameFolder[] = "/usr/games";
const char kMame[] = "/usr/games/mame";

// The text the scans were given, recorded by a runner that wraps the real
// one. Each mame run takes about half a second, so a command's first run is
// kept and handed out again to later queries with the same command.
string recorded;
int recordedResult = -1;
std::map<string, std::pair<int, string>> realRuns;

int RecordingRunner(char *command, char *output)
{
    auto known = realRuns.find(command);
    if (known == realRuns.end()) {
        int result = SilentCreateProcess(command, output);
        known = realRuns.emplace(command, std::make_pair(result, string(output))).first;
    }
    recordedResult = known->second.first;
    recorded = known->second.second;
    memcpy(output, recorded.c_str(), recorded.size() + 1);
    return recordedResult;
}

std::vector<string> Lines(const string &text)
{
    std::vector<string> lines;
    std::istringstream in(text);
    for (string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Driver verdict read the way a person reads the report: the driver
// element's attributes and any later imperfect/preliminary value, and the
// dump status of every ROM or disk.
int ExpectedVerdict(const string &text)
{
    static const std::regex driver("<driver status=\"");
    static const std::regex imperfect("=\"imperfect\"");
    static const std::regex preliminary("=\"preliminary\"");
    static const std::regex bad("<(rom|disk) [^>]*status=\"baddump\"");
    static const std::regex missing("<(rom|disk) [^>]*status=\"nodump\"");
    bool seenDriver = false, anyImperfect = false, anyPreliminary = false;
    bool anyBad = false, anyMissing = false;
    for (const string &line : Lines(text)) {
        seenDriver = seenDriver || std::regex_search(line, driver);
        if (seenDriver) {
            anyImperfect = anyImperfect || std::regex_search(line, imperfect);
            anyPreliminary = anyPreliminary || std::regex_search(line, preliminary);
        }
        anyBad = anyBad || std::regex_search(line, bad);
        anyMissing = anyMissing || std::regex_search(line, missing);
    }
    if (!seenDriver || anyImperfect)
        return 1;
    if (anyPreliminary)
        return 2;
    return anyBad ? 3 : anyMissing ? 4 : 0;
}

// For each extension, the instance name of the first device of the machine
// that lists it.
std::map<string, string> ExpectedDevices(const string &text)
{
    static const std::regex machine("<machine name=\"");
    static const std::regex instance("<instance name=\"([^\"]*)\"");
    static const std::regex extension("<extension name=\"([^\"]*)\"");
    std::map<string, string> devices;
    bool inMachine = false;
    string current;
    std::smatch match;
    for (const string &line : Lines(text)) {
        inMachine = inMachine || std::regex_search(line, machine);
        if (!inMachine)
            continue;
        if (std::regex_search(line, match, instance))
            current = match[1];
        else if (std::regex_search(line, match, extension))
            devices.emplace(match[1], current);   // the first device keeps it
    }
    return devices;
}

class RealReport : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (access(kMame, X_OK) != 0)
            GTEST_SKIP() << "no " << kMame;
        ResetSettings();
        strcpy(MessExe, "mame");
        SetCommandRunner(RecordingRunner);
    }
    void TearDown() override
    {
        ForgetMachineFacts();   // each test sees the queries it makes
        SetCommandRunner(nullptr);
        ResetSettings();
    }
};

const char *const kGames[] = {"pacman", "galaga", "18w", "1943", "3in1semi", "8ballact",
                              "nes",    "a2600",  "c64", "apple2e", "nosuchgame"};

TEST_F(RealReport, DriverVerdictMatchesTheReport)
{
    std::set<int> verdicts;
    for (const char *game : kGames) {
        SCOPED_TRACE(game);
        recorded.clear();
        int verdict = IsDriverImperfect(kMameFolder, "mame", game);
        ASSERT_FALSE(recorded.empty());
        EXPECT_EQ(ExpectedVerdict(recorded), verdict);
        verdicts.insert(verdict);
    }
    // The games were picked so that every verdict occurs.
    EXPECT_EQ((std::set<int>{0, 1, 2, 3, 4}), verdicts);
}

TEST_F(RealReport, RunnerKeepsShortReportsWholeAndCutsLongOnes)
{
    for (const char *game : kGames) {
        SCOPED_TRACE(game);
        // The whole report, read directly (not through the runner under test).
        string whole = CommandOutput(string(kMame) + " -listxml " + game + " 2>&1");
        ASSERT_FALSE(whole.empty());
        char description[1024], year[1024];
        GetDriverInformation(kMameFolder, "mame", game, description, year);
        if (whole.size() <= 99999) {
            EXPECT_EQ(0, recordedResult);
            EXPECT_EQ(whole, recorded);
        } else {
            EXPECT_EQ(12, recordedResult);
            EXPECT_GT(recorded.size(), 0u);
            EXPECT_LE(recorded.size(), 99999u);
            EXPECT_EQ(whole.substr(0, recorded.size()), recorded);
        }
    }
}

TEST_F(RealReport, DescriptionAndYearMatchTheReport)
{
    static const std::regex descriptionRe("<description>([^<]*)</description>");
    static const std::regex yearRe("<year>([^<]*)</year>");
    for (const char *game : kGames) {
        SCOPED_TRACE(game);
        char description[1024] = "unchanged", year[1024] = "unchanged";
        int found = GetDriverInformation(kMameFolder, "mame", game, description, year);
        std::smatch d, y;
        string afterDescription;
        bool expected = std::regex_search(recorded, d, descriptionRe);
        if (expected) {
            afterDescription = recorded.substr(d.position(0));
            expected = std::regex_search(afterDescription, y, yearRe);
        }
        ASSERT_EQ(expected ? 1 : 0, found);
        if (expected) {
            EXPECT_EQ(d[1].str(), description);
            EXPECT_EQ(y[1].str(), year);
        }
    }
}

TEST_F(RealReport, DeviceForEachExtensionMatchesTheReport)
{
    int found = 0, checked = 0;
    for (const char *system : {"nes", "a2600", "c64", "apple2e", "pacman"}) {
        SCOPED_TRACE(system);
        char device[1024];
        GetDeviceByExtension(kMameFolder, system, "probe.zzz", device);
        std::map<string, string> listed = ExpectedDevices(recorded);
        if (string(system) != "pacman") {
            EXPECT_FALSE(listed.empty());
        }
        // A few extensions of each system (every mame run costs time), and
        // one that no device lists.
        std::vector<string> extensions;
        size_t step = listed.size() / 6 + 1, i = 0;
        for (const auto &entry : listed)
            if (i++ % step == 0 && entry.first.size() <= 3)
                extensions.push_back(entry.first);
        extensions.push_back("zzz");
        for (size_t n = 0; n < extensions.size(); ++n) {
            // Upper case and a Windows path on every other name.
            string file = n % 2 ? string("C:\\soft\\") + system + "\\GAME." + extensions[n]
                                : "game." + extensions[n];
            for (char &c : file)
                if (n % 2)
                    c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
            SCOPED_TRACE(file);
            strcpy(device, "");
            int result = GetDeviceByExtension(kMameFolder, system, file.c_str(), device);
            // A long report is cut where a read happened to end: the
            // expectation comes from the text the scan was given.
            std::map<string, string> expected = ExpectedDevices(recorded);
            auto hit = expected.find(extensions[n]);
            EXPECT_EQ(hit != expected.end() ? 1 : 0, result);
            if (hit != expected.end() && result == 1) {
                EXPECT_EQ(hit->second, device);
            }
            found += result;
            ++checked;
        }
    }
    EXPECT_GT(checked, 20);
    EXPECT_GT(found, 15);
}

} // namespace
