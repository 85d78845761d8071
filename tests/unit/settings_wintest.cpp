// The settings against the real registry: values seeded with reg.exe load as
// expected, and a save writes the 13 values with their types as reg.exe
// reads them back.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sstream>
#include <string>

#include "config/controls.h"
#include "config/settings.h"
#include "emulator/runner.h"
#include "support/fake_controls.h"

using std::string;

static string RunCommand(const string &command)
{
    static char line[1024];
    static char output[kRunnerOutputBytes];
    strcpy(line, command.c_str());
    SilentCreateProcess(line, output);
    return output;
}

static const char kKey[] = "HKCU\\Software\\Quillmere";

static void RegAdd(const string &name, const string &type, const string &data)
{
    RunCommand(string("reg add ") + kKey + " /v " + name + " /t " + type + " /d \"" + data + "\" /f");
}

// "NAME -> (TYPE, DATA)" from reg query's listing.
static std::map<string, std::pair<string, string>> RegQuery()
{
    std::map<string, std::pair<string, string>> values;
    std::istringstream lines(RunCommand(string("reg query ") + kKey));
    string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::istringstream words(line);
        string name, type;
        if (!(words >> name >> type) || type.compare(0, 4, "REG_") != 0)
            continue;
        string data;
        std::getline(words, data);
        data.erase(0, data.find_first_not_of(' '));
        values[name] = {type, data};
    }
    return values;
}

class RegistrySettings : public ::testing::Test {
protected:
    void SetUp() override
    {
        RunCommand(string("reg delete ") + kKey + " /f");
        ResetSettings();
    }
    void TearDown() override
    {
        RunCommand(string("reg delete ") + kKey + " /f");
        ResetSettings();
    }
};

TEST_F(RegistrySettings, MissingKeyLoadsNothing)
{
    EXPECT_EQ(-1, ReadConfigurationInRegistry());
    EXPECT_STREQ("", MamePath);
    EXPECT_EQ(0, TimerEndRun);
}

TEST_F(RegistrySettings, KeySeededWithRegAddLoads)
{
    RegAdd("MessPath", "REG_SZ", "C:\\Emu\\mess.exe");
    RegAdd("MamePath", "REG_SZ", "D:\\mess.exe.old\\mame.exe");
    RegAdd("MameRomsPath", "REG_SZ", "D:\\roms");
    RegAdd("MessOption", "REG_SZ", "-skip_gameinfo -skip_warnings -nonu  -nowindow");
    RegAdd("MameCheckOnlyPerfect", "REG_DWORD", "1");
    RegAdd("SystemChangeTimer", "REG_DWORD", "0");
    RegAdd("PollTimer", "REG_DWORD", "250");
    RegAdd("SystemsList", "REG_MULTI_SZ", "a2600 bin\\0nes nes\\0nes unf");
    ASSERT_EQ(0, ReadConfigurationInRegistry());
    EXPECT_STREQ("C:\\Emu", MessPath);
    EXPECT_STREQ("mess.exe", MessExe);
    EXPECT_STREQ("D:\\mess.exe.old", MamePath);
    EXPECT_STREQ("mame.exe", MameExe);
    EXPECT_STREQ("D:\\roms", MameRomsPath);
    EXPECT_STREQ("-skip_gameinfo -skip_warnings -nonu  -nowindow", MessOption);
    EXPECT_STREQ("", MessSoftwarePath);
    EXPECT_EQ(1, MameCheckOnlyPerfect);
    EXPECT_EQ(0, TimerEndRun);
    EXPECT_EQ(1000, TimerStart);
    EXPECT_EQ(2000, TimerStarting);
    EXPECT_EQ(250, TimerPoll);
    ASSERT_EQ(3, Number_of_machine);
    EXPECT_STREQ("a2600", AvailableMachine[0].Name);
    EXPECT_STREQ("bin", AvailableMachine[0].Extension);
    EXPECT_STREQ("nes", AvailableMachine[2].Name);
    EXPECT_STREQ("unf", AvailableMachine[2].Extension);
}

TEST_F(RegistrySettings, SaveWritesThirteenTypedValues)
{
    FakeDialog dialog;
    dialog.texts[IDC_MESS_EXE] = "C:\\Emu\\mess.exe";
    dialog.texts[IDC_MESS_SOFTWARE] = "C:\\Emu\\software";
    dialog.texts[IDC_MESS_OPTION] = "-skip_gameinfo -nowindow";
    dialog.texts[IDC_MAME_EXE] = "D:\\Mame\\mame.exe";
    dialog.texts[IDC_TIMER_END_RUN] = "30000";
    dialog.texts[IDC_TIMER_START] = "1500";
    dialog.checks[IDC_ONLY_PERFECT] = 1;
    dialog.list = {"a2600 bin", "nes nes"};
    TimerStarting = 2000;
    TimerPoll = 100;
    SaveConfigToRegistry(dialog.Handle(), dialog.Controls());
    EXPECT_TRUE(dialog.messages.empty());

    auto values = RegQuery();
    EXPECT_EQ(13u, values.size());
    struct Row {
        const char *name, *type, *data;
    } rows[] = {
        {"MessPath", "REG_SZ", "C:\\Emu\\mess.exe"},
        {"MessSoftwarePath", "REG_SZ", "C:\\Emu\\software"},
        {"MessBiosPath", "REG_SZ", ""},
        {"MessOption", "REG_SZ", "-skip_gameinfo -nowindow"},
        {"MamePath", "REG_SZ", "D:\\Mame\\mame.exe"},
        {"MameRomsPath", "REG_SZ", ""},
        {"MameOption", "REG_SZ", ""},
        {"MameCheckOnlyPerfect", "REG_DWORD", "0x1"},
        {"SystemChangeTimer", "REG_DWORD", "0x7530"},
        {"SplashScreenTimer", "REG_DWORD", "0x5dc"},
        {"WaitForMESSTimer", "REG_DWORD", "0x7d0"},
        {"PollTimer", "REG_DWORD", "0x64"},
        {"SystemsList", "REG_MULTI_SZ", "a2600 bin\\0nes nes"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(1u, values.count(row.name));
        EXPECT_EQ(row.type, values[row.name].first);
        EXPECT_EQ(row.data, values[row.name].second);
    }
}

TEST_F(RegistrySettings, EmptyListIsSavedAsASingleNul)
{
    FakeDialog dialog;
    SaveConfigToRegistry(dialog.Handle(), dialog.Controls());
    HKEY key;
    ASSERT_EQ(0, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Quillmere", 0, KEY_READ, &key));
    BYTE data[16];
    DWORD type = 0, size = sizeof data;
    ASSERT_EQ(0, RegQueryValueExA(key, "SystemsList", nullptr, &type, data, &size));
    RegCloseKey(key);
    EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), type);
    EXPECT_EQ(1u, size);
    EXPECT_EQ(0, data[0]);
}
