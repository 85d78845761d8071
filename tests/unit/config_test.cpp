// Saving and the dialog's decisions over an in-memory store and substitute
// controls: the rules no real registry or dialog can be made to show. The real
// ones, loading and the allowed-systems list are driven end to end.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "base/files.h"
#include "config/choices_dialog.h"
#include "config/controls.h"
#include "config/dialog.h"
#include "config/mame_ini.h"
#include "config/settings.h"
#include "config/settings_file.h"
#include "support/temp_folder.h"

using std::string;
using std::vector;

namespace {

std::map<string, string> stored;   // name -> the value's bytes
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
        *size = found->second.size();
        return *size > room ? 234 : (memcpy(data, found->second.data(), *size), 0);   // 234: more data
    },
    [](void *, const char *name, unsigned long, const void *data, unsigned long size) -> long {
        return failSet == name ? 5 : (stored[name] = string(static_cast<const char *>(data), size), 0);
    },
    [](void *) { --openKeys; },
};

std::map<int, string> boxes;
int checked, ended;
vector<string> lines, messages;

const DialogControls kControls = {
    [](void *, int id, char *text, int size) { snprintf(text, size, "%s", boxes[id].c_str()); },
    [](void *, int id, const char *text) { boxes[id] = text; },
    [](void *, int) { return checked; },
    [](void *, int, int value) { checked = value; },
    [](void *, int, int i, char *text, int size) {
        return i < static_cast<int>(lines.size()) ? snprintf(text, size, "%s", lines[i].c_str()) : kListError;
    },
    [](void *, int, const char *) { return kListError; }, [](void *, int, const char *) { return kListError; },
    [](void *, int) { return kListError; }, [](void *, int, int) { return kListError; }, [](void *, int, int) {},
    [](void *, int) { lines.clear(); },
    [](void *, const char *text, const char *title) { messages.push_back(string(title) + ": " + text); },
    [](void *, int result) { ended = result; },
    [](void *, int) {},
};

void Fresh()
{
    stored.clear(), boxes.clear(), lines.clear(), messages.clear();
    keyExists = true, failOpen = -1, opens = openKeys = checked = 0, ended = -1;
    ForgetShownValues();
    failSet.clear();
    ResetSettings();
    SetSettingsStore(&kStore);
}

TEST(Config, ExecutablePathSplitsAtItsLastComponent)
{
    for (const char *row : {"C:\\Emu\\mess.exe=C:\\Emu|mess.exe", "D:\\a.exe.old\\m.exe=D:\\a.exe.old|m.exe",
                            "C:\\Emu\\\\m.exe=C:\\Emu\\|m.exe", "C:\\Emu\\=C:|Emu", "mess.exe=mess.exe|",
                            "\\\\mess.exe=\\\\mess.exe|", "C:\\m.exe=C:|m.exe", "\\\\srv\\share\\m.exe=\\\\srv\\share|m.exe",
                            "/usr/games/mame=/usr/games|mame"}) {   // natively, paths as written
        char folder[kTextSetting], exe[kTextSetting] = "";
        snprintf(folder, sizeof folder, "%s", string(row).substr(0, strchr(row, '=') - row).c_str());
        SplitExecutablePath(folder, exe);
        EXPECT_EQ(strchr(row, '=') + 1, string(folder) + "|" + exe) << row;
    }
}

TEST(Config, MameIniFoldersAsDebiansMameReadsThem)
{
    const std::string ini = "# rompath /not/this\nrompathx /nor/this\nrompath   $HOME/mame/roms;/usr/share/roms;~;$HOMEX/y\r\n"
                            "artpath \"/a b/art\"\nrompath /second/line\n";
    struct Row {
        const char *key, *home, *folders;
    } rows[] = {
        {"rompath", "/h", "/h/mame/roms|/usr/share/roms|/h|$HOMEX/y|"},
        {"rompath", "", "/usr/share/roms|$HOMEX/y|"},   // no home: its folders are left out
        {"artpath", "/h", "/a b/art|"},
        {"snapshot_directory", "/h", ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.key + string(" home=") + row.home);
        string folders;
        for (const string &folder : MameIniFoldersIn(ini, row.key, row.home))
            folders += folder + "|";
        EXPECT_EQ(row.folders, folders);
    }
}

TEST(Config, SettingsFileAsPeopleWriteIt)
{
    TempFolder folder;
    const char *home = getenv("HOME");
    string savedHome = home ? home : "";
    setenv("HOME", folder.path().c_str(), 1);
    string file = folder.Write("settings", "# a comment = no setting\n"
                                           "  mamepath = ~/emu/mame  \r\n"
                                           "MameRomsPath=$HOME/roms\n"
                                           "MameOption=" + string(4084, 'x') + "PollTimer=5\n"
                                           "MessSoftwarePath=~user/soft\n"
                                           "SYSTEMCHANGETIMER = 9000\n"
                                           "systemslist=nes nes\nSystemsList = a2600 bin\n"
                                           "MameRomPath=/typo\nColour=blue\n");
    ResetSettings();
    ASSERT_TRUE(SetSettingsFile(file.c_str()));
    SetSettingsStore(SettingsFileStore());
    ASSERT_EQ(0, ReadConfigurationInRegistry());
    EXPECT_EQ(folder.path() + "/emu|mame|" + folder.path() + "/roms|~user/soft|9000|100|2",
              string(MamePath) + "|" + MameExe + "|" + MameRomsPath + "|" + MessSoftwarePath + "|" +
                  std::to_string(TimerEndRun) + "|" + std::to_string(TimerPoll) + "|" +
                  std::to_string(Number_of_machine));
    // The line past the old 4096-byte buffer is one value, too long to hold (so
    // empty, never cut), and its tail no PollTimer of its own.
    EXPECT_EQ("", string(MameOption));
    vector<string> unknown;
    for (const string &name : UnknownSettingsNames())
        unknown.push_back(UnknownSettingSentence(name));
    EXPECT_EQ((vector<string>{"unknown setting \"MameRomPath\" (did you mean MameRomsPath?)",
                              "unknown setting \"Colour\""}),
              unknown);

    // No file at all: Debian's MAME and the ROM folder of its mame.ini.
    ASSERT_TRUE(SetSettingsFile((folder.path() + "/none").c_str()));
    string note;
    if (FileCanBeOpened("/usr/games/mame") && FileCanBeOpened("/etc/mame/mame.ini")) {
        ResetSettings();
        EXPECT_EQ(0, ReadSettingsOrDefaults(&note));
        EXPECT_EQ("/usr/games|mame|" + folder.path() + "/mame/roms|60000",
                  string(MamePath) + "|" + MameExe + "|" + MameRomsPath + "|" + std::to_string(TimerEndRun));
        EXPECT_NE(string::npos, note.find("rompath of /etc/mame/mame.ini")) << note;
    }
    setenv("HOME", savedHome.c_str(), 1);
    SetSettingsFile(nullptr);
    SetSettingsStore(nullptr);
    ResetSettings();
}

TEST(Config, SavingStopsAtTheFirstFailureWithItsMessage)
{
    const char *rows[][2] = {   // in the order of saving
        {"MessPath", "MESS path to registry"}, {"MessSoftwarePath", "MESS Software path to registry"},
        {"MessBiosPath", "MESS Bios path to registry"}, {"MessOption", "MESS option to registry"},
        {"MamePath", "MAME path to registry"}, {"MameRomsPath", "MAME Software path to registry"},
        {"MameOption", "MAME option to registry"}, {"MameCheckOnlyPerfect", "MAME Check Only Perfect"},
        {"SystemChangeTimer", "System change timer to registry"}, {"SplashScreenTimer", "Splash screen timer to registry"},
        {"WaitForMESSTimer", "Wait for MESS timer to registry"}, {"PollTimer", "poll timer to registry"},
        {"DarkAfterMinutes", "dark timer to registry"}, {"SystemsList", "system list to registry"}};
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
    Fresh();
    boxes = {{IDC_MESS_EXE, "C:\\Emu\\mess.exe"}, {IDC_MESS_OPTION, "-a  -b"}, {IDC_MAME_EXE, "D:\\m.exe"},
             {IDC_TIMER_END_RUN, "86400000"}, {IDC_TIMER_START, "1500"}, {IDC_DARK_AFTER, "0"}};
    checked = 1;
    lines = {"a2600 bin", "nes unf"};
    TimerStarting = 2500;
    ConfigurationCommand(nullptr, &kControls, nullptr, kIdOk);   // Enter
    EXPECT_EQ(14u, stored.size());
    ResetSettings();
    ASSERT_EQ(0, ReadConfigurationInRegistry());
    string loaded = string(MessPath) + "|" + MessExe + "|" + MessOption + "|" + MamePath + "|" + MameExe;
    for (int32_t number : {MameCheckOnlyPerfect, TimerEndRun, TimerStart, TimerStarting, TimerPoll, DarkAfterMinutes})
        loaded += "|" + std::to_string(number);
    for (int i = 0; i < Number_of_machine; i++)
        loaded += string(i ? "," : "|") + AvailableMachine[i].Name + ":" + AvailableMachine[i].Extension;
    EXPECT_EQ("C:\\Emu|mess.exe|-a  -b|D:|m.exe|1|86400000|1500|2500|0|0|a2600:bin,nes:unf", loaded);
    EXPECT_EQ(1, ended);

    // A list longer than its 10240 bytes keeps its whole lines, and says so;
    // one that ends exactly there is whole, saved and loaded.
    for (bool exact : {false, true}) {
        SCOPED_TRACE(exact);
        Fresh();
        for (int i = 0; i < (exact ? 682 : 1000); i++)
            lines.push_back("sys" + std::to_string(1000 + i) + " ext" + std::to_string(100 + i % 900));
        if (exact)
            lines.push_back("last ext");   // 682 lines of 15 bytes, 9 bytes, the final NUL
        SaveConfigToRegistry(nullptr, &kControls);
        EXPECT_EQ(exact ? 10240u : 682u * 15 + 1, stored["SystemsList"].size());
        EXPECT_EQ(exact ? vector<string>{} : vector<string>{"Systems list: The list of systems is too long: 318 lines were not saved"},
                  messages);
        ResetSettings();
        ASSERT_EQ(0, ReadConfigurationInRegistry());
        string loaded = std::to_string(Number_of_machine);
        if (const MachineEntry *last = Number_of_machine ? &AvailableMachine[Number_of_machine - 1] : nullptr)
            loaded += string(" ") + last->Name + " " + last->Extension;
        EXPECT_EQ(exact ? "683 last ext" : "682 sys1681 ext781", loaded);
    }

    // The Choices dialog's values: categories one a line, stored ';'-separated.
    Fresh();
    boxes = {{IDC_GAME_LIST, "C:\\fav.ini"}, {IDC_SKIP_CATEGORIES, " Quiz \r\n\r\nCasino;Slot"}};
    checked = 1;
    ASSERT_TRUE(SaveChoices(nullptr, &kControls));
    auto choices = [] {
        ResetSettings();
        EXPECT_EQ(0, ReadConfigurationInRegistry());
        return string(MameGameList) + "|" + MameSkipCategories + "|" + std::to_string(MameParentsOnly) +
               std::to_string(MameShowNotWorking) + std::to_string(SoundVolume);
    };
    EXPECT_EQ("C:\\fav.ini|Quiz;Casino;Slot|110", choices());
    stored["MameSkipCategories"] = string(1, '\0');   // stored empty: nothing skipped
    EXPECT_EQ("C:\\fav.ini||110", choices());
    stored.erase("MameSkipCategories");                // missing: the usual ones
    EXPECT_EQ("C:\\fav.ini|" + string(kDefaultSkipCategories) + "|110", choices());
    failSet = "SoundVolume";
    EXPECT_FALSE(SaveChoices(nullptr, &kControls));
    EXPECT_EQ("Registry error: Error while writing SoundVolume to registry", messages.back());
    // The settings file of the Linux edition takes the same names.
    TempFolder folder;
    SetSettingsFile(folder.Write("settings", "MameGameList=/fav\nSoundVolume=33\nMameParentsOnly=1\n").c_str());
    SetSettingsStore(SettingsFileStore());
    EXPECT_EQ("/fav|" + string(kDefaultSkipCategories) + "|1033", choices());
    SetSettingsFile(nullptr);
    SetSettingsStore(&kStore);
}

TEST(Config, FolderBesideTheChosenExecutableTooLongForItsBoxLeavesTheBox)
{
    Fresh();
    const DialogPrompts prompts = {[](void *, bool, char *path, int size) {
                                       return snprintf(path, size, "C:\\%s\\m", string(1015, 'f').c_str()) > 0;
                                   },
                                   nullptr, nullptr};
    boxes[IDC_MESS_SOFTWARE] = "old";
    ConfigurationCommand(nullptr, &kControls, &prompts, IDC_MESS_BROWSE);
    EXPECT_EQ("old|C:\\" + string(1015, 'f') + "\\roms", boxes[IDC_MESS_SOFTWARE] + "|" + boxes[IDC_MESS_BIOS]);
    SetSettingsStore(nullptr);
    ResetSettings();
}

// The settings file: a line longer than the reader's buffer is skipped whole,
// its rest never read as a setting; XDG homes count only when absolute.
TEST(Config, RelativeXdgHomesAreIgnored)
{
    TempFolder home("settings ");
    const string h = home.path();
    const char *saved[3] = {getenv("HOME"), getenv("XDG_CONFIG_HOME"), getenv("XDG_CACHE_HOME")};
    const string kept[3] = {saved[0] ? saved[0] : "", saved[1] ? saved[1] : "", saved[2] ? saved[2] : ""};
    setenv("HOME", h.c_str(), 1), setenv("XDG_CONFIG_HOME", "c", 1), setenv("XDG_CACHE_HOME", "k", 1);
    char path[1024] = "", folder[1024] = "";
    DefaultSettingsFile(path, sizeof path);
    EXPECT_TRUE(GetCacheFolder(folder, sizeof folder));
    EXPECT_EQ(h + "/.config/quillmere/settings|" + h + "/.cache/quillmere", string(path) + "|" + folder);
    const char *names[3] = {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"};
    for (int i = 0; i < 3; ++i)
        saved[i] ? setenv(names[i], kept[i].c_str(), 1) : unsetenv(names[i]);
}

}   // namespace
