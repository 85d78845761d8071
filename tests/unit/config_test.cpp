// Loading, saving, the dialog's decisions and the allowed-systems scan over an
// in-memory store, substitute controls and a stub emulator: the rules no real
// registry or dialog can be made to show. The real ones are driven end to end.
#include <gtest/gtest.h>

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "config/controls.h"
#include "config/dialog.h"
#include "config/settings.h"
#include "config/systems.h"
#include "emulator/runner.h"

using std::string;
using std::vector;

namespace {

struct Stored {
    unsigned long type;
    string bytes;
};
struct {
    std::map<string, Stored> values;
    bool exists;
    int failOpen, opens, open;   // failOpen: the opening (from 0) that fails
    string failSet;
} store;

const SettingsStore kStore = {
    [](bool forWriting, void **key) -> long {
        if (store.opens++ == store.failOpen || (!forWriting && !store.exists))
            return 2;
        store.exists = true;
        ++store.open;
        *key = &store;
        return 0;
    },
    [](void *, const char *name, void *data, unsigned long *size) -> long {
        auto found = store.values.find(name);
        if (found == store.values.end())
            return 2;
        unsigned long need = found->second.bytes.size();
        if (need > *size)
            return *size = need, 234;   // ERROR_MORE_DATA
        memcpy(data, found->second.bytes.data(), *size = need);
        return 0;
    },
    [](void *, const char *name, unsigned long type, const void *data, unsigned long size) -> long {
        if (store.failSet == name)
            return 5;
        store.values[name] = {type, string(static_cast<const char *>(data), size)};
        return 0;
    },
    [](void *) { --store.open; },
};

struct {
    std::map<int, string> texts;
    std::map<int, int> checks;
    vector<string> list;   // sorted, letter case ignored, as the list box keeps it
    vector<string> messages;
    int ended;
} dialog;

bool Before(const string &a, const string &b)
{
    return strcasecmp(a.c_str(), b.c_str()) < 0;
}

const DialogControls kControls = {
    [](void *, int id, char *text, int size) { snprintf(text, size, "%s", dialog.texts[id].c_str()); },
    [](void *, int id, const char *text) { dialog.texts[id] = text; },
    [](void *, int id) { return dialog.checks[id]; },
    [](void *, int id, int checked) { dialog.checks[id] = checked; },
    [](void *, int, int index, char *text, int size) {
        if (index >= static_cast<int>(dialog.list.size()))
            return kListError;
        return snprintf(text, size, "%s", dialog.list[index].c_str());
    },
    [](void *, int, const char *text) {
        for (size_t i = 0; i < dialog.list.size(); i++)
            if (strcasecmp(dialog.list[i].c_str(), text) == 0)
                return static_cast<int>(i);
        return kListError;
    },
    [](void *, int, const char *text) {
        auto at = std::upper_bound(dialog.list.begin(), dialog.list.end(), string(text), Before);
        return static_cast<int>(dialog.list.insert(at, text) - dialog.list.begin());
    },
    [](void *, int) { return kListError; },
    [](void *, int, int) { return kListError; },
    [](void *, int, int) {},
    [](void *, int) { dialog.list.clear(); },
    [](void *, const char *text, const char *title) { dialog.messages.push_back(string(title) + ": " + text); },
    [](void *, int result) { dialog.ended = result; },
};

class Config : public ::testing::Test {
protected:
    void SetUp() override { Fresh(); }
    void TearDown() override
    {
        SetSettingsStore(nullptr);
        SetCommandRunner(nullptr);
        ResetSettings();
    }
    static void Fresh()
    {
        store.values.clear();
        store.exists = true;
        store.failOpen = -1;
        store.opens = store.open = 0;
        store.failSet.clear();
        dialog.texts.clear();
        dialog.checks.clear();
        dialog.list.clear();
        dialog.messages.clear();
        dialog.ended = -1;
        ResetSettings();
        SetSettingsStore(&kStore);
    }
    static void Text(const string &name, const string &text) { store.values[name] = {kRegSz, text + '\0'}; }
    static void Number(const string &name, int32_t value)
    {
        store.values[name] = {kRegDword, string(reinterpret_cast<const char *>(&value), 4)};
    }
};

// A loaded setting as text, by its registry name ("...Exe": the split-off file name).
string Setting(const string &name)
{
    const std::map<string, const char *> texts = {
        {"MessPath", MessPath}, {"MessExe", MessExe}, {"MessSoftwarePath", MessSoftwarePath},
        {"MessBiosPath", MessBiosPath}, {"MessOption", MessOption}, {"MamePath", MamePath},
        {"MameExe", MameExe}, {"MameRomsPath", MameRomsPath}, {"MameOption", MameOption}};
    const std::map<string, int32_t> numbers = {
        {"MameCheckOnlyPerfect", MameCheckOnlyPerfect}, {"SystemChangeTimer", TimerEndRun},
        {"SplashScreenTimer", TimerStart}, {"WaitForMESSTimer", TimerStarting},
        {"PollTimer", TimerPoll}};
    if (texts.count(name))
        return texts.at(name);
    if (numbers.count(name))
        return std::to_string(numbers.at(name));
    string lines;
    for (int i = 0; i < Number_of_machine; i++)
        lines += string(i ? "," : "") + AvailableMachine[i].Name + ":" + AvailableMachine[i].Extension;
    return lines;
}

string Packed(int lines)
{
    string packed;
    for (int i = 0; i < lines; i++) {
        char line[32];
        snprintf(line, sizeof line, "sys%04d ext%03d", i, i);
        packed += line + string(1, '\0');
    }
    return packed + '\0';
}

TEST_F(Config, Loading)
{
    string kept;   // 682 whole lines of 15 bytes fit in 10240
    for (int i = 0; i < 682; i++) {
        char line[32];
        snprintf(line, sizeof line, ",sys%04d:ext%03d", i, i);
        kept += line + (i ? 0 : 1);
    }
    const struct {
        const char *what;
        std::map<string, Stored> stored;
        std::map<string, string> loaded;
    } rows[] = {
        {"missing values", {{"MamePath", {kRegSz, string("C:\\Emu\\mame.exe", 16)}}},
         {{"MamePath", "C:\\Emu"}, {"MameExe", "mame.exe"}, {"MessPath", ""}, {"MameOption", ""},
          {"MameCheckOnlyPerfect", "0"}, {"SystemChangeTimer", "60000"}, {"SplashScreenTimer", "1000"},
          {"WaitForMESSTimer", "2000"}, {"PollTimer", "100"}, {"SystemsList", ""}}},
        {"every value in its place, zero stays zero",
         {{"MessPath", {kRegSz, string("C:\\Mess\\mess.exe", 17)}}, {"MessSoftwarePath", {kRegSz, string("S", 2)}},
          {"MessBiosPath", {kRegSz, string("B", 2)}}, {"MessOption", {kRegSz, string("-a  -b", 7)}},
          {"MameRomsPath", {kRegSz, string("R", 2)}}, {"MameOption", {kRegSz, string("-m", 3)}},
          {"MameCheckOnlyPerfect", {kRegDword, string("\1\0\0\0", 4)}}, {"SystemChangeTimer", {kRegDword, string(4, '\0')}},
          {"SplashScreenTimer", {kRegDword, string("\7\0\0\0", 4)}}, {"WaitForMESSTimer", {kRegDword, string("\xfb\xff\xff\xff", 4)}},
          {"PollTimer", {kRegDword, string("\xfa\0\0\0", 4)}}},
         {{"MessPath", "C:\\Mess"}, {"MessExe", "mess.exe"}, {"MessSoftwarePath", "S"}, {"MessBiosPath", "B"},
          {"MessOption", "-a  -b"}, {"MameRomsPath", "R"}, {"MameOption", "-m"}, {"MameCheckOnlyPerfect", "1"},
          {"SystemChangeTimer", "0"}, {"SplashScreenTimer", "7"}, {"WaitForMESSTimer", "-5"}, {"PollTimer", "250"}}},
        {"texts that cannot fit load empty",
         {{"MessSoftwarePath", {kRegSz, string(1024, 'x') + '\0'}}, {"MessBiosPath", {kRegSz, string(1023, 'y') + '\0'}},
          {"MameOption", {kRegSz, string(1024, 'z')}}, {"MessOption", {kRegSz, "-opts"}}},
         {{"MessSoftwarePath", ""}, {"MessBiosPath", string(1023, 'y')}, {"MameOption", ""}, {"MessOption", "-opts"}}},
        {"odd numbers", {{"SystemChangeTimer", {kRegSz, "12345678"}}, {"SplashScreenTimer", {3, "\x10\x27"}}},
         {{"SystemChangeTimer", "60000"}, {"SplashScreenTimer", "10000"}}},
        {"lines in stored order",
         {{"SystemsList", {kRegMultiSz, string("nes nes\0a2600 bin\0  c64   crt  extra\0nes nes\0solo\0\0", 51)}}},
         {{"SystemsList", "nes:nes,a2600:bin,c64:crt,nes:nes,solo:"}}},
        {"one NUL", {{"SystemsList", {kRegMultiSz, string(1, '\0')}}}, {{"SystemsList", ""}}},
        {"a line of blanks", {{"SystemsList", {kRegMultiSz, string("   \0nes nes\0\0", 14)}}}, {{"SystemsList", "nes:nes"}}},
        {"words too long for their fields are skipped, not cut",
         {{"SystemsList", {kRegMultiSz, string(64, 'n') + " nes" + '\0' + "nes " + string(24, 'e') + '\0' +
                                            string(63, 'm') + " " + string(23, 'x') + string(2, '\0')}}},
         {{"SystemsList", string(63, 'm') + ":" + string(23, 'x')}}},
        {"more than 10240 bytes: the whole lines that fit", {{"SystemsList", {kRegMultiSz, Packed(1000)}}},
         {{"SystemsList", kept}}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        Fresh();
        store.values = row.stored;
        ASSERT_EQ(0, ReadConfigurationInRegistry());
        EXPECT_EQ(0, store.open);
        for (const auto &[name, value] : row.loaded)
            EXPECT_EQ(value, Setting(name)) << name;
    }
    // Without a key nothing changes.
    Fresh();
    store.exists = false;
    strcpy(MameOption, "kept");
    EXPECT_EQ(-1, ReadConfigurationInRegistry());
    EXPECT_EQ("kept|0|", Setting("MameOption") + "|" + Setting("SystemChangeTimer") + "|" + Setting("SystemsList"));
}

TEST_F(Config, ExecutablePathSplitsAtItsLastComponent)
{
    const char *rows[][3] = {
        {"C:\\Emu\\mess.exe", "C:\\Emu", "mess.exe"}, {"D:\\mess.exe.old\\mess.exe", "D:\\mess.exe.old", "mess.exe"},
        {"C:\\Emu\\\\mess.exe", "C:\\Emu\\", "mess.exe"}, {"C:\\Emu\\", "C:", "Emu"}, {"mess.exe", "mess.exe", ""},
        {"\\\\mess.exe", "\\\\mess.exe", ""}, {"C:\\mess.exe", "C:", "mess.exe"},
        {"\\\\server\\share\\mame.exe", "\\\\server\\share", "mame.exe"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row[0]);
        char folder[kTextSetting], exe[kTextSetting] = "";
        strcpy(folder, row[0]);
        SplitExecutablePath(folder, exe);
        EXPECT_EQ(string(row[1]) + "|" + row[2], string(folder) + "|" + exe);
    }
}

TEST_F(Config, SavingStopsAtTheFirstFailureWithItsMessage)
{
    const char *rows[][2] = {
        {"MessPath", "Error while writing MESS path to registry"},
        {"MessSoftwarePath", "Error while writing MESS Software path to registry"},
        {"MessBiosPath", "Error while writing MESS Bios path to registry"},
        {"MessOption", "Error while writing MESS option to registry"},
        {"MamePath", "Error while writing MAME path to registry"},
        {"MameRomsPath", "Error while writing MAME Software path to registry"},
        {"MameOption", "Error while writing MAME option to registry"},
        {"MameCheckOnlyPerfect", "Error while writing MAME Check Only Perfect"},
        {"SystemChangeTimer", "Error while writing System change timer to registry"},
        {"SplashScreenTimer", "Error while writing Splash screen timer to registry"},
        {"WaitForMESSTimer", "Error while writing Wait for MESS timer to registry"},
        {"PollTimer", "Error while writing poll timer to registry"},
        {"SystemsList", "Error while writing system list to registry"},
        {"open 0", "Error openning registry key, configuration aborted"},
        {"open 1", "Error openning registry key, configuration aborted"},
    };
    for (size_t n = 0; n < std::size(rows); n++) {
        SCOPED_TRACE(rows[n][0]);
        Fresh();
        store.failSet = rows[n][0];
        store.failOpen = n == 13 ? 0 : n == 14 ? 1 : -1;
        SaveConfigToRegistry(nullptr, &kControls);
        EXPECT_EQ(vector<string>{string("Registry error: ") + rows[n][1]}, dialog.messages);
        EXPECT_EQ(1, dialog.ended);
        EXPECT_EQ(0, store.open);
        // The values before the failing one are written, none after it.
        EXPECT_EQ(n == 13 ? 0u : n == 14 ? 4u : n, store.values.size());
    }
}

TEST_F(Config, SavingAndLoadingBack)
{
    const char *timers[][2] = {{"", "0"}, {"abc", "0"}, {"  42ms", "42"}, {"-7", "-7"}, {"+15x", "15"},
                               {"0012", "12"}, {"99999999999", "2147483647"}, {"-99999999999", "-2147483648"}};
    for (const auto &timer : timers) {
        SCOPED_TRACE(timer[0]);
        Fresh();
        dialog.texts = {{IDC_MESS_EXE, "C:\\Emu\\mess.exe"}, {IDC_MESS_OPTION, "-a  -b"}, {IDC_MAME_EXE, "D:\\m.exe"},
                        {IDC_TIMER_END_RUN, timer[0]}, {IDC_TIMER_START, "1500"}};
        dialog.checks[IDC_ONLY_PERFECT] = 1;
        dialog.list = {"a2600 bin", "nes unf"};
        TimerStarting = 2500;
        SaveConfigToRegistry(nullptr, &kControls);
        EXPECT_TRUE(dialog.messages.empty());
        ASSERT_EQ(13u, store.values.size());
        ResetSettings();
        ASSERT_EQ(0, ReadConfigurationInRegistry());
        EXPECT_EQ(string("C:\\Emu|mess.exe|-a  -b|D:|m.exe|1|") + timer[1] + "|1500|2500|0|a2600:bin,nes:unf",
                  Setting("MessPath") + "|" + Setting("MessExe") + "|" + Setting("MessOption") + "|" +
                      Setting("MamePath") + "|" + Setting("MameExe") + "|" + Setting("MameCheckOnlyPerfect") + "|" +
                      Setting("SystemChangeTimer") + "|" + Setting("SplashScreenTimer") + "|" +
                      Setting("WaitForMESSTimer") + "|" + Setting("PollTimer") + "|" + Setting("SystemsList"));
    }
    // A list longer than its 10240 bytes keeps its whole lines, and says so.
    Fresh();
    for (int i = 0; i < 1000; i++)
        dialog.list.push_back("sys" + std::to_string(1000 + i) + " ext" + std::to_string(100 + i % 900));
    SaveConfigToRegistry(nullptr, &kControls);
    EXPECT_EQ(682u * 15 + 1, store.values["SystemsList"].bytes.size());
    EXPECT_EQ(vector<string>{"Systems list: The list of systems is too long: 318 lines were not saved"},
              dialog.messages);
}

TEST_F(Config, OpeningShowsWhatSavingKeeps)
{
    // Blank options and timers other than zero are kept as they are.
    Text("MessOption", " ");
    Number("SystemChangeTimer", -7);
    Number("SplashScreenTimer", 2147483647);
    // A path that cannot be split is shown and saved as it was stored.
    for (const char *stored : {"mess.exe", "C:", "\\"}) {
        SCOPED_TRACE(stored);
        Text("MessPath", stored);
        for (int round = 0; round < 2; round++) {
            ResetSettings();
            OpenConfiguration(nullptr, &kControls);
            EXPECT_EQ(string(stored) + "| |-7|2147483647",
                      dialog.texts[IDC_MESS_EXE] + "|" + dialog.texts[IDC_MESS_OPTION] + "|" +
                          dialog.texts[IDC_TIMER_END_RUN] + "|" + dialog.texts[IDC_TIMER_START]);
            ConfigurationCommand(nullptr, &kControls, nullptr, IDC_OK);
            EXPECT_EQ(string(stored) + '\0', store.values["MessPath"].bytes);
        }
    }
    // A folder beside the executable too long for its box leaves the box.
    const DialogPrompts prompts = {[](void *, bool, char *path, int) {
                                       strcpy(path, ("C:\\" + string(1015, 'f') + "\\m").c_str());
                                       return true;
                                   },
                                   nullptr};
    dialog.texts[IDC_MESS_SOFTWARE] = "old";
    ConfigurationCommand(nullptr, &kControls, &prompts, IDC_MESS_BROWSE);
    EXPECT_EQ("old", dialog.texts[IDC_MESS_SOFTWARE]);
    EXPECT_EQ("C:\\" + string(1015, 'f') + "\\roms", dialog.texts[IDC_MESS_BIOS]);
}

std::map<string, string> reports;   // name -> what the emulator prints
vector<string> commands;

int StubRunner(char *command, char *output)
{
    commands.push_back(command);
    const char *name = strstr(command, " -listxml ");
    auto found = name ? reports.find(name + 10) : reports.end();
    snprintf(output, kRunnerOutputBytes, "%s", found == reports.end() ? "" : found->second.c_str());
    return 0;
}

TEST_F(Config, AddingASystemScansItsReport)
{
    const string ext127(127, 'x'), ext128(128, 'y'), name990(990, 'n'), head = "<machine name=\"sys\">";
    const struct {
        const char *what;
        string name, report;
        vector<string> lines;
        size_t runs = 1;
        string exe = "C:\\Emu\\mess.exe";
    } rows[] = {
        {"extensions before the machine", "sys",
         "<!ATTLIST extension name CDATA> <extension name=\"early\"/>" + head + "<extension name=\"bin\"/>",
         {"sys bin"}},
        {"the scan runs past the machine's end", "sys",
         head + "<extension name=\"bin\"/></machine><machine name=\"dev\"><extension name=\"prn\"/>",
         {"sys bin", "sys prn"}},
        {"the whole quoted name", "sys", "<machine name=\"system\"><extension name=\"bin\"/>", {}},
        {"127-character extension", "sys", head + "<extension name=\"" + ext127 + "\"/>", {"sys " + ext127}},
        {"128 characters are skipped", "sys",
         head + "<extension name=\"" + ext128 + "\"/><extension name=\"rom\"/>", {"sys rom"}},
        {"unclosed value", "sys", head + "<extension name=\"bin\"/><extension name=\"ro", {"sys bin"}},
        {"no quote after the name", "sys", head + "<extension name", {}},
        {"empty value", "sys", head + "<extension name=\"\"/>", {"sys "}},
        {"only the first 99999 characters", "sys",
         head + string(99999 - head.size() - 30, ' ') + "<extension name=\"bin\"/><extension name=\"rom\"/>",
         {"sys bin"}},
        {"a line too long for its buffer", name990,
         "<machine name=\"" + name990 + "\"><extension name=\"" + string(40, 'e') + "\"/><extension name=\"bin\"/>",
         {name990 + " bin"}},
        {"a pattern too long", string(1009, 'm'), "", {}, 0},
        {"a command line too long", "sys", head + "<extension name=\"bin\"/>", {}, 0,
         "C:\\" + string(1000, 'p') + "\\mess.exe"},
        {"a line in other letter case is there already", "sys", head + "<extension name=\"bin\"/>",
         {"SYS BIN"}},
    };
    SetCommandRunner(StubRunner);
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        Fresh();
        commands.clear();
        reports = {{row.name, row.report.substr(0, kRunnerOutputBytes - 1)}};
        dialog.texts[IDC_MESS_EXE] = row.exe;
        if (row.lines == vector<string>{"SYS BIN"})
            dialog.list = row.lines;   // there before the scan
        AddSystemToList(nullptr, &kControls, row.name.c_str());
        EXPECT_EQ(row.lines, dialog.list);
        EXPECT_EQ(row.runs, commands.size());
        EXPECT_TRUE(dialog.messages.empty());
    }
    // Names that could add options run nothing and say nothing.
    dialog.list.clear();
    for (const char *name : {"-listxml", "nes -verbose", "nes\t-x", "nes\"", "..", ".", "nes;ls", "nes.zip",
                             "n\xe9s", "nes/x", "nes\\x", ""}) {
        SCOPED_TRACE(name);
        commands.clear();
        AddSystemToList(nullptr, &kControls, name);
        EXPECT_EQ(0u, commands.size());
        EXPECT_TRUE(dialog.list.empty() && dialog.messages.empty());
    }
}

}   // namespace
