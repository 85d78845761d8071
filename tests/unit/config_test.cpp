// Saving, the dialog's decisions and the allowed-systems scan over an in-memory
// store, substitute controls and a stub emulator: the rules no real registry or
// dialog can be made to show. The real ones, and loading, are driven end to end.
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
using Values = std::map<string, std::pair<unsigned long, string>>;   // name -> type, bytes

namespace {

Values stored;
bool keyExists;
int failOpen, opens, openKeys;   // failOpen: the opening (from 0) that fails
string failSet;

const SettingsStore kStore = {
    [](bool writing, void **key) -> long {
        if (opens++ == failOpen || (!writing && !keyExists))
            return 2;
        keyExists = true, ++openKeys, *key = &stored;
        return 0;
    },
    [](void *, const char *name, void *data, unsigned long *size) -> long {
        auto found = stored.find(name);
        if (found == stored.end())
            return 2;
        unsigned long room = *size;
        *size = found->second.second.size();
        return *size > room ? 234 : (memcpy(data, found->second.second.data(), *size), 0);   // 234: more data
    },
    [](void *, const char *name, unsigned long type, const void *data, unsigned long size) -> long {
        return failSet == name ? 5 : (stored[name] = {type, string(static_cast<const char *>(data), size)}, 0);
    },
    [](void *) { --openKeys; },
};

std::map<int, string> boxes;
int checked, ended;
vector<string> lines, messages;   // the list, sorted as the list box keeps it

bool Before(const string &a, const string &b)
{
    return strcasecmp(a.c_str(), b.c_str()) < 0;
}

const DialogControls kControls = {
    [](void *, int id, char *text, int size) { snprintf(text, size, "%s", boxes[id].c_str()); },
    [](void *, int id, const char *text) { boxes[id] = text; },
    [](void *, int) { return checked; },
    [](void *, int, int value) { checked = value; },
    [](void *, int, int i, char *text, int size) {
        return i < static_cast<int>(lines.size()) ? snprintf(text, size, "%s", lines[i].c_str()) : kListError;
    },
    [](void *, int, const char *text) {
        auto at = std::find_if(lines.begin(), lines.end(), [&](const string &l) { return !strcasecmp(l.c_str(), text); });
        return at == lines.end() ? kListError : static_cast<int>(at - lines.begin());
    },
    [](void *, int, const char *text) {
        return static_cast<int>(lines.insert(std::upper_bound(lines.begin(), lines.end(), text, Before), text) - lines.begin());
    },
    [](void *, int) { return kListError; }, [](void *, int, int) { return kListError; }, [](void *, int, int) {},
    [](void *, int) { lines.clear(); },
    [](void *, const char *text, const char *title) { messages.push_back(string(title) + ": " + text); },
    [](void *, int result) { ended = result; },
};

void Fresh()
{
    stored.clear(), boxes.clear(), lines.clear(), messages.clear();
    keyExists = true, failOpen = -1, opens = openKeys = checked = 0, ended = -1;
    failSet.clear();
    ResetSettings();
    SetSettingsStore(&kStore);
}

TEST(Config, ExecutablePathSplitsAtItsLastComponent)
{
    for (const char *row : {"C:\\Emu\\mess.exe=C:\\Emu|mess.exe", "D:\\a.exe.old\\m.exe=D:\\a.exe.old|m.exe",
                            "C:\\Emu\\\\m.exe=C:\\Emu\\|m.exe", "C:\\Emu\\=C:|Emu", "mess.exe=mess.exe|",
                            "\\\\mess.exe=\\\\mess.exe|", "C:\\m.exe=C:|m.exe", "\\\\srv\\share\\m.exe=\\\\srv\\share|m.exe"}) {
        char folder[kTextSetting], exe[kTextSetting] = "";
        snprintf(folder, sizeof folder, "%s", string(row).substr(0, strchr(row, '=') - row).c_str());
        SplitExecutablePath(folder, exe);
        EXPECT_EQ(strchr(row, '=') + 1, string(folder) + "|" + exe) << row;
    }
}

TEST(Config, SavingStopsAtTheFirstFailureWithItsMessage)
{
    const char *rows[][2] = {   // in the order of saving
        {"MessPath", "MESS path to registry"}, {"MessSoftwarePath", "MESS Software path to registry"},
        {"MessBiosPath", "MESS Bios path to registry"}, {"MessOption", "MESS option to registry"},
        {"MamePath", "MAME path to registry"}, {"MameRomsPath", "MAME Software path to registry"},
        {"MameOption", "MAME option to registry"}, {"MameCheckOnlyPerfect", "MAME Check Only Perfect"},
        {"SystemChangeTimer", "System change timer to registry"},
        {"SplashScreenTimer", "Splash screen timer to registry"},
        {"WaitForMESSTimer", "Wait for MESS timer to registry"}, {"PollTimer", "poll timer to registry"},
        {"SystemsList", "system list to registry"}};
    for (size_t n = 0; n < std::size(rows) + 2; n++) {
        SCOPED_TRACE(n);
        Fresh();
        bool opening = n >= std::size(rows);   // the first or the second opening of the key fails
        failSet = opening ? "" : rows[n][0];
        failOpen = opening ? static_cast<int>(n - std::size(rows)) : -1;
        SaveConfigToRegistry(nullptr, &kControls);
        EXPECT_EQ(vector<string>{"Registry error: " + (opening ? string("Error openning registry key, configuration aborted")
                                                               : string("Error while writing ") + rows[n][1])},
                  messages);
        EXPECT_EQ(1, ended);
        EXPECT_EQ(0, openKeys);
        // The values before the failing one are written, none after it.
        EXPECT_EQ(opening ? (n - std::size(rows)) * 4 : n, stored.size());
    }
}

TEST(Config, SavingAndLoadingBack)
{
    for (const char *timer : {"=0", "abc=0", "  42ms=42", "-7=-7", "+15x=15", "0012=12", "99999999999=2147483647",
                              "-99999999999=-2147483648"}) {
        SCOPED_TRACE(timer);
        Fresh();
        boxes = {{IDC_MESS_EXE, "C:\\Emu\\mess.exe"}, {IDC_MESS_OPTION, "-a  -b"}, {IDC_MAME_EXE, "D:\\m.exe"},
                 {IDC_TIMER_END_RUN, string(timer, strchr(timer, '='))}, {IDC_TIMER_START, "1500"}};
        checked = 1;
        lines = {"a2600 bin", "nes unf"};
        TimerStarting = 2500;
        SaveConfigToRegistry(nullptr, &kControls);
        EXPECT_EQ(13u, stored.size());
        ResetSettings();
        ASSERT_EQ(0, ReadConfigurationInRegistry());
        string list;
        for (int i = 0; i < Number_of_machine; i++)
            list += string(i ? "," : "") + AvailableMachine[i].Name + ":" + AvailableMachine[i].Extension;
        EXPECT_EQ("C:\\Emu|mess.exe|-a  -b|D:|m.exe|1|" + string(strchr(timer, '=') + 1) + "|1500|2500|0|a2600:bin,nes:unf",
                  string(MessPath) + "|" + MessExe + "|" + MessOption + "|" + MamePath + "|" + MameExe + "|" +
                      std::to_string(MameCheckOnlyPerfect) + "|" + std::to_string(TimerEndRun) + "|" +
                      std::to_string(TimerStart) + "|" + std::to_string(TimerStarting) + "|" + std::to_string(TimerPoll) +
                      "|" + list);
    }
    Fresh();   // a list longer than its 10240 bytes keeps its whole lines, and says so
    for (int i = 0; i < 1000; i++)
        lines.push_back("sys" + std::to_string(1000 + i) + " ext" + std::to_string(100 + i % 900));
    SaveConfigToRegistry(nullptr, &kControls);
    EXPECT_EQ(682u * 15 + 1, stored["SystemsList"].second.size());
    EXPECT_EQ(vector<string>{"Systems list: The list of systems is too long: 318 lines were not saved"}, messages);
}

TEST(Config, FolderBesideTheChosenExecutableTooLongForItsBoxLeavesTheBox)
{
    Fresh();
    const DialogPrompts prompts = {[](void *, bool, char *path, int size) {
                                       return snprintf(path, size, "C:\\%s\\m", string(1015, 'f').c_str()) > 0;
                                   },
                                   nullptr};
    boxes[IDC_MESS_SOFTWARE] = "old";
    ConfigurationCommand(nullptr, &kControls, &prompts, IDC_MESS_BROWSE);
    EXPECT_EQ("old|C:\\" + string(1015, 'f') + "\\roms", boxes[IDC_MESS_SOFTWARE] + "|" + boxes[IDC_MESS_BIOS]);
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

TEST(Config, AddingASystemScansItsReport)
{
    const string x127(127, 'x'), n990(990, 'n'), head = "<machine name=\"sys\">", bin = "<extension name=\"bin\"/>";
    const struct {
        const char *what;
        string name, report;
        vector<string> before, after;
        size_t runs = 1;
        string exe = "C:\\Emu\\mess.exe";
    } rows[] = {
        {"extensions before the machine", "sys", "<extension name=\"early\"/>" + head + bin, {}, {"sys bin"}},
        {"past the machine's end", "sys", head + bin + "</machine><machine name=\"d\"><extension name=\"prn\"/>", {},
         {"sys bin", "sys prn"}},
        {"the whole quoted name", "sys", "<machine name=\"system\">" + bin, {}, {}},
        {"127-character extension", "sys", head + "<extension name=\"" + x127 + "\"/>", {}, {"sys " + x127}},
        {"128 characters are skipped", "sys", head + "<extension name=\"y" + x127 + "\"/><extension name=\"rom\"/>", {},
         {"sys rom"}},
        {"unclosed value", "sys", head + bin + "<extension name=\"ro", {}, {"sys bin"}},
        {"no quote after the name", "sys", head + "<extension name", {}, {}},
        {"empty value", "sys", head + "<extension name=\"\"/>", {}, {"sys "}},
        {"the first 99999 characters", "sys", head + string(99999 - head.size() - 30, ' ') + bin + bin, {}, {"sys bin"}},
        {"a line too long for its buffer", n990,
         "<machine name=\"" + n990 + "\"><extension name=\"" + string(40, 'e') + "\"/>" + bin, {}, {n990 + " bin"}},
        {"a pattern too long", string(1009, 'm'), "", {}, {}, 0},
        {"a command line too long", "sys", head + bin, {}, {}, 0, "C:\\" + string(1000, 'p') + "\\mess.exe"},
        {"a line there in other letter case", "sys", head + bin, {"SYS BIN"}, {"SYS BIN"}},
    };
    SetCommandRunner(StubRunner);
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        Fresh();
        commands.clear();
        reports = {{row.name, row.report.substr(0, kRunnerOutputBytes - 1)}};
        boxes[IDC_MESS_EXE] = row.exe;
        lines = row.before;
        AddSystemToList(nullptr, &kControls, row.name.c_str());
        EXPECT_EQ(row.after, lines);
        EXPECT_EQ(row.runs, commands.size());
        EXPECT_TRUE(messages.empty());
    }
    lines.clear();   // names that could add options run nothing and say nothing
    for (const char *name : {"-listxml", "nes -verbose", "nes\t-x", "nes\"", "..", ".", "nes;ls", "nes.zip", "n\xe9s",
                             "nes/x", "nes\\x", ""}) {
        commands.clear();
        AddSystemToList(nullptr, &kControls, name);
        EXPECT_TRUE(commands.empty() && lines.empty() && messages.empty()) << name;
    }
    SetCommandRunner(nullptr);
    SetSettingsStore(nullptr);
    ResetSettings();
}

}   // namespace
