#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "config/controls.h"
#include "config/settings.h"
#include "config/settings_file.h"
#include "support/fake_controls.h"
#include "support/memory_store.h"

using std::string;

// ---- Loading ---------------------------------------------------------------

TEST(LoadSettings, MissingKeyChangesNothing)
{
    MemoryStore store;
    store.keyExists = false;
    UseMemoryStore use(store);
    strcpy(MameOption, "kept");
    EXPECT_EQ(-1, ReadConfigurationInRegistry());
    EXPECT_STREQ("kept", MameOption);
    EXPECT_STREQ("", MamePath);
    EXPECT_EQ(0, TimerEndRun);
    EXPECT_EQ(0, TimerPoll);
    EXPECT_EQ(0, Number_of_machine);
}

TEST(LoadSettings, MissingValuesGetEmptyTextsAndDefaultNumbers)
{
    MemoryStore store;
    store.SetText("MamePath", "C:\\Emu\\mame.exe");
    UseMemoryStore use(store);
    ASSERT_EQ(0, ReadConfigurationInRegistry());
    EXPECT_STREQ("C:\\Emu", MamePath);
    EXPECT_STREQ("mame.exe", MameExe);
    for (const char *text : {MessPath, MessExe, MessSoftwarePath, MessBiosPath, MessOption,
                             MameRomsPath, MameOption})
        EXPECT_STREQ("", text);
    EXPECT_EQ(0, MameCheckOnlyPerfect);
    EXPECT_EQ(60000, TimerEndRun);
    EXPECT_EQ(1000, TimerStart);
    EXPECT_EQ(2000, TimerStarting);
    EXPECT_EQ(100, TimerPoll);
    EXPECT_EQ(0, Number_of_machine);
    EXPECT_EQ(0, store.openKeys);
}

TEST(LoadSettings, StoredZeroStaysZeroAndEveryValueLands)
{
    MemoryStore store;
    store.SetText("MessPath", "C:\\Mess\\mess.exe");
    store.SetText("MessSoftwarePath", "C:\\Mess\\software");
    store.SetText("MessBiosPath", "C:\\Mess\\roms");
    store.SetText("MessOption", "-a  -b");
    store.SetText("MameRomsPath", "D:\\roms");
    store.SetText("MameOption", "-nowindow");
    store.SetNumber("MameCheckOnlyPerfect", 1);
    store.SetNumber("SystemChangeTimer", 0);
    store.SetNumber("SplashScreenTimer", 7);
    store.SetNumber("WaitForMESSTimer", -5);
    store.SetNumber("PollTimer", 250);
    UseMemoryStore use(store);
    ASSERT_EQ(0, ReadConfigurationInRegistry());
    EXPECT_STREQ("C:\\Mess", MessPath);
    EXPECT_STREQ("mess.exe", MessExe);
    EXPECT_STREQ("C:\\Mess\\software", MessSoftwarePath);
    EXPECT_STREQ("C:\\Mess\\roms", MessBiosPath);
    EXPECT_STREQ("-a  -b", MessOption);
    EXPECT_STREQ("D:\\roms", MameRomsPath);
    EXPECT_STREQ("-nowindow", MameOption);
    EXPECT_EQ(1, MameCheckOnlyPerfect);
    EXPECT_EQ(0, TimerEndRun);
    EXPECT_EQ(7, TimerStart);
    EXPECT_EQ(-5, TimerStarting);
    EXPECT_EQ(250, TimerPoll);
}

TEST(LoadSettings, TextThatCannotFitLoadsEmpty)
{
    MemoryStore store;
    store.SetText("MessSoftwarePath", string(1024, 'x'));   // 1025 bytes with the NUL
    store.SetText("MessBiosPath", string(1023, 'y'));       // exactly fits
    // Stored without its NUL: 1024 bytes cannot be held, 5 bytes end there.
    store.SetRaw("MameOption", kRegSz, string(1024, 'z'));
    store.SetRaw("MessOption", kRegSz, "-opts");
    UseMemoryStore use(store);
    memset(MessOption, 'q', sizeof MessOption);
    ASSERT_EQ(0, ReadConfigurationInRegistry());
    EXPECT_STREQ("", MessSoftwarePath);
    EXPECT_EQ(1023u, strlen(MessBiosPath));
    EXPECT_STREQ("", MameOption);
    EXPECT_STREQ("-opts", MessOption);
}

TEST(LoadSettings, OddNumberValues)
{
    MemoryStore store;
    store.SetRaw("SystemChangeTimer", kRegSz, "12345678");   // too long: default
    store.SetRaw("SplashScreenTimer", 3 /* REG_BINARY */, string("\x10\x27", 2));
    UseMemoryStore use(store);
    ASSERT_EQ(0, ReadConfigurationInRegistry());
    EXPECT_EQ(60000, TimerEndRun);
    EXPECT_EQ(10000, TimerStart);   // two bytes fill the low half
}

// ---- Splitting the executable path -----------------------------------------

TEST(SplitExecutablePath, Cases)
{
    struct Row {
        const char *full, *folder, *exe;
    } rows[] = {
        {"C:\\Emu\\mess.exe", "C:\\Emu", "mess.exe"},
        {"D:\\mess.exe.old\\mess.exe", "D:\\mess.exe.old", "mess.exe"},
        {"C:\\Emu\\\\mess.exe", "C:\\Emu\\", "mess.exe"},
        {"C:\\Emu\\", "C:", "Emu"},
        {"mess.exe", "mess.exe", "previous"},
        {"\\\\mess.exe", "\\\\mess.exe", "previous"},
        {"C:\\mess.exe", "C:", "mess.exe"},
        {"\\\\server\\share\\mame.exe", "\\\\server\\share", "mame.exe"},
        {"/usr/games/mame", "/usr/games", "mame"},   // natively, paths as written
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.full);
        char folder[kTextSetting], exe[kTextSetting];
        strcpy(folder, row.full);
        strcpy(exe, "previous");
        SplitExecutablePath(folder, exe);
        EXPECT_STREQ(row.folder, folder);
        EXPECT_STREQ(row.exe, exe);
    }
}

// ---- The settings file: the Linux edition's store ------------------------------

TEST(SettingsFile, DefaultPathFollowsAnAbsoluteXdgConfigHome)
{
    // A relative XDG_CONFIG_HOME is ignored, as the base directory specification says.
    string home = string(getenv("HOME") ? getenv("HOME") : "") + "/.config/quillmere/settings";
    for (const char *config : {"", "relative", "/c"}) {
        SCOPED_TRACE(config);
        setenv("XDG_CONFIG_HOME", config, 1);
        SetSettingsFile(nullptr);
        EXPECT_EQ(config[0] == '/' ? "/c/quillmere/settings" : home, SettingsFile());
    }
    unsetenv("XDG_CONFIG_HOME");
}

// ---- The systems list --------------------------------------------------------

TEST(SystemsList, LinesBecomeEntriesInStoredOrder)
{
    MemoryStore store;
    store.SetRaw("SystemsList", kRegMultiSz,
                 string("nes nes\0a2600 bin\0  c64   crt  extra\0nes nes\0solo\0\0", 51));
    UseMemoryStore use(store);
    ASSERT_EQ(0, ReadConfigurationInRegistry());
    ASSERT_EQ(5, Number_of_machine);
    EXPECT_STREQ("nes", AvailableMachine[0].Name);
    EXPECT_STREQ("nes", AvailableMachine[0].Extension);
    EXPECT_STREQ("a2600", AvailableMachine[1].Name);
    EXPECT_STREQ("bin", AvailableMachine[1].Extension);
    EXPECT_STREQ("c64", AvailableMachine[2].Name);
    EXPECT_STREQ("crt", AvailableMachine[2].Extension);
    EXPECT_STREQ("nes", AvailableMachine[3].Name);
    EXPECT_STREQ("solo", AvailableMachine[4].Name);
    EXPECT_STREQ("", AvailableMachine[4].Extension);
}

TEST(SystemsList, EmptyAbsentAndBlankLines)
{
    for (const string &packed : {string("\0", 1), string(), string("   \0nes nes\0\0", 14)}) {
        MemoryStore store;
        if (!packed.empty())
            store.SetRaw("SystemsList", kRegMultiSz, packed);
        UseMemoryStore use(store);
        ASSERT_EQ(0, ReadConfigurationInRegistry());
        if (packed.size() == 14) {
            // A line of spaces names no system and is skipped.
            ASSERT_EQ(1, Number_of_machine);
            EXPECT_STREQ("nes", AvailableMachine[0].Name);
        } else {
            EXPECT_EQ(0, Number_of_machine);
        }
    }
}

TEST(SystemsList, LinesWithOverlongWordsAreSkippedNeverCut)
{
    ClearMachineList();
    string packed = string(64, 'n') + " nes" + '\0' + "nes " + string(24, 'e') + '\0' +
                    string(63, 'm') + " " + string(23, 'x') + string("\0\0", 2);
    ParseSystemsList(packed.data(), static_cast<int>(packed.size()));
    ASSERT_EQ(1, Number_of_machine);
    EXPECT_EQ(string(63, 'm'), AvailableMachine[0].Name);
    EXPECT_EQ(string(23, 'x'), AvailableMachine[0].Extension);
    ClearMachineList();
}

TEST(SystemsList, ValueLongerThanTheBufferKeepsTheWholeLinesThatFit)
{
    // 1000 lines of 16 bytes: 16000 bytes, beyond the 10240 of the list.
    string packed;
    for (int i = 0; i < 1000; ++i) {
        char line[32];
        snprintf(line, sizeof line, "sys%04d ext%03d", i, i % 1000);
        packed += line;
        packed += '\0';
    }
    packed += '\0';
    MemoryStore store;
    store.SetRaw("SystemsList", kRegMultiSz, packed);
    UseMemoryStore use(store);
    ASSERT_EQ(0, ReadConfigurationInRegistry());
    EXPECT_EQ(10240 / 15, Number_of_machine);   // every line is 14 characters + NUL
    EXPECT_STREQ("sys0000", AvailableMachine[0].Name);
    EXPECT_STREQ("sys0681", AvailableMachine[Number_of_machine - 1].Name);
    EXPECT_STREQ("ext681", AvailableMachine[Number_of_machine - 1].Extension);
}

// ---- Saving ------------------------------------------------------------------

static FakeDialog FilledDialog()
{
    FakeDialog dialog;
    dialog.texts[IDC_MESS_EXE] = "C:\\Emu\\mess.exe";
    dialog.texts[IDC_MESS_SOFTWARE] = "C:\\Emu\\software";
    dialog.texts[IDC_MESS_BIOS] = "C:\\Emu\\roms";
    dialog.texts[IDC_MESS_OPTION] = "-skip_gameinfo -skip_warnings -nonu  -nowindow";
    dialog.texts[IDC_MAME_EXE] = "D:\\Mame\\mame.exe";
    dialog.texts[IDC_MAME_ROMS] = "D:\\Mame\\roms";
    dialog.texts[IDC_MAME_OPTION] = "-skip_gameinfo -nowindow";
    dialog.checks[IDC_ONLY_PERFECT] = 1;
    dialog.texts[IDC_TIMER_END_RUN] = "30000";
    dialog.texts[IDC_TIMER_START] = "1500";
    dialog.list = {"a2600 bin", "nes nes", "nes unf"};
    return dialog;
}

TEST(SaveSettings, WritesThirteenValuesWithTheirTypes)
{
    MemoryStore store;
    store.keyExists = false;
    UseMemoryStore use(store);
    TimerStarting = 2000;
    TimerPoll = 100;
    FakeDialog dialog = FilledDialog();
    SaveConfigToRegistry(dialog.Handle(), dialog.Controls());

    EXPECT_TRUE(dialog.messages.empty());
    EXPECT_EQ(-1, dialog.endedWith);   // OK ends the dialog, not saving
    EXPECT_EQ(13u, store.values.size());
    EXPECT_EQ(0, store.openKeys);
    struct Row {
        const char *name;
        unsigned long type;
        string bytes;
    } rows[] = {
        {"MessPath", kRegSz, string("C:\\Emu\\mess.exe\0", 16)},
        {"MessSoftwarePath", kRegSz, string("C:\\Emu\\software\0", 16)},
        {"MessBiosPath", kRegSz, string("C:\\Emu\\roms\0", 12)},
        {"MamePath", kRegSz, string("D:\\Mame\\mame.exe\0", 17)},
        {"MameRomsPath", kRegSz, string("D:\\Mame\\roms\0", 13)},
        {"MameOption", kRegSz, string("-skip_gameinfo -nowindow\0", 25)},
        {"MameCheckOnlyPerfect", kRegDword, string("\1\0\0\0", 4)},
        {"SystemChangeTimer", kRegDword, string("\x30\x75\0\0", 4)},
        {"SplashScreenTimer", kRegDword, string("\xdc\x05\0\0", 4)},
        {"WaitForMESSTimer", kRegDword, string("\xd0\x07\0\0", 4)},
        {"PollTimer", kRegDword, string("\x64\0\0\0", 4)},
        {"SystemsList", kRegMultiSz, string("a2600 bin\0nes nes\0nes unf\0\0", 27)},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(store.Has(row.name));
        EXPECT_EQ(row.type, store.values[row.name].type);
        EXPECT_EQ(row.bytes, store.values[row.name].bytes);
    }
    EXPECT_EQ(47u, store.values["MessOption"].bytes.size());
    EXPECT_EQ(30000, TimerEndRun);
    EXPECT_EQ(1500, TimerStart);
}

TEST(SaveSettings, EmptyListIsOneNulAndTimerTextIsItsLeadingInteger)
{
    struct Row {
        const char *text;
        int32_t value;
    } rows[] = {{"", 0}, {"abc", 0}, {"  42ms", 42}, {"-7", -7}, {"+15x", 15},
                {"0012", 12}, {"99999999999", 2147483647}, {"-99999999999", -2147483647 - 1}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.text);
        MemoryStore store;
        UseMemoryStore use(store);
        FakeDialog dialog;
        dialog.texts[IDC_TIMER_END_RUN] = row.text;
        SaveConfigToRegistry(dialog.Handle(), dialog.Controls());
        EXPECT_EQ(row.value, store.Number("SystemChangeTimer"));
        EXPECT_EQ(string("\0", 1), store.values["SystemsList"].bytes);
        EXPECT_EQ(kRegMultiSz, store.values["SystemsList"].type);
        EXPECT_EQ(string("\0", 1), store.values["MessPath"].bytes);
    }
}

TEST(SaveSettings, FailedWriteStopsWithItsMessageAndKeepsEarlierValues)
{
    MemoryStore store;
    store.SetText("MameCheckOnlyPerfect", "old");
    store.SetText("SystemsList", "old");
    store.failSetOf = "MameOption";
    UseMemoryStore use(store);
    FakeDialog dialog = FilledDialog();
    SaveConfigToRegistry(dialog.Handle(), dialog.Controls());

    ASSERT_EQ(1u, dialog.messages.size());
    EXPECT_EQ("Error while writing MAME option to registry", dialog.messages[0].text);
    EXPECT_EQ("Registry error", dialog.messages[0].title);
    EXPECT_EQ(1, dialog.endedWith);
    EXPECT_EQ("D:\\Mame\\roms", store.Text("MameRomsPath"));
    EXPECT_EQ("old", store.Text("MameCheckOnlyPerfect"));
    EXPECT_EQ("old", store.Text("SystemsList"));
    EXPECT_FALSE(store.Has("PollTimer"));
    EXPECT_EQ(0, store.openKeys);
}

TEST(SaveSettings, EachValueHasItsOwnMessage)
{
    struct Row {
        const char *value, *message;
    } rows[] = {
        {"MessPath", "Error while writing MESS path to registry"},
        {"MessSoftwarePath", "Error while writing MESS Software path to registry"},
        {"MessBiosPath", "Error while writing MESS Bios path to registry"},
        {"MessOption", "Error while writing MESS option to registry"},
        {"MamePath", "Error while writing MAME path to registry"},
        {"MameRomsPath", "Error while writing MAME Software path to registry"},
        {"MameCheckOnlyPerfect", "Error while writing MAME Check Only Perfect"},
        {"SystemChangeTimer", "Error while writing System change timer to registry"},
        {"SplashScreenTimer", "Error while writing Splash screen timer to registry"},
        {"WaitForMESSTimer", "Error while writing Wait for MESS timer to registry"},
        {"PollTimer", "Error while writing poll timer to registry"},
        {"SystemsList", "Error while writing system list to registry"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.value);
        MemoryStore store;
        store.failSetOf = row.value;
        UseMemoryStore use(store);
        FakeDialog dialog = FilledDialog();
        SaveConfigToRegistry(dialog.Handle(), dialog.Controls());
        ASSERT_EQ(1u, dialog.messages.size());
        EXPECT_EQ(row.message, dialog.messages[0].text);
        EXPECT_EQ(1, dialog.endedWith);
        EXPECT_EQ(0, store.openKeys);
    }
}

TEST(SaveSettings, KeyOpenFailures)
{
    for (int failingOpen : {0, 1}) {
        SCOPED_TRACE(failingOpen);
        MemoryStore store;
        store.failOpenAfter = failingOpen;
        UseMemoryStore use(store);
        FakeDialog dialog = FilledDialog();
        SaveConfigToRegistry(dialog.Handle(), dialog.Controls());
        ASSERT_EQ(1u, dialog.messages.size());
        EXPECT_EQ("Error openning registry key, configuration aborted", dialog.messages[0].text);
        EXPECT_EQ("Registry error", dialog.messages[0].title);
        EXPECT_EQ(1, dialog.endedWith);
        // The second opening comes before "MamePath": the MESS values stay.
        EXPECT_EQ(failingOpen == 1 ? 4u : 0u, store.values.size());
        EXPECT_EQ(0, store.openKeys);
    }
}

TEST(SaveSettings, ListTooLongKeepsWholeLinesAndSaysHowManyWereLeftOut)
{
    MemoryStore store;
    UseMemoryStore use(store);
    FakeDialog dialog;
    for (int i = 0; i < 1000; ++i) {
        char line[32];
        snprintf(line, sizeof line, "sys%04d ext%03d", i, i % 1000);
        dialog.list.push_back(line);
    }
    SaveConfigToRegistry(dialog.Handle(), dialog.Controls());
    const string &bytes = store.values["SystemsList"].bytes;
    EXPECT_LE(bytes.size(), 10240u);
    EXPECT_EQ(682u * 15 + 1, bytes.size());
    ASSERT_EQ(1u, dialog.messages.size());
    EXPECT_NE(string::npos, dialog.messages[0].text.find("318"));
}

TEST(SaveSettings, SavedConfigurationLoadsBackTheSame)
{
    MemoryStore store;
    {
        UseMemoryStore use(store);
        TimerStarting = 2500;
        TimerPoll = 120;
        FakeDialog dialog = FilledDialog();
        SaveConfigToRegistry(dialog.Handle(), dialog.Controls());
    }
    UseMemoryStore use(store);
    ASSERT_EQ(0, ReadConfigurationInRegistry());
    EXPECT_STREQ("C:\\Emu", MessPath);
    EXPECT_STREQ("mess.exe", MessExe);
    EXPECT_STREQ("D:\\Mame", MamePath);
    EXPECT_STREQ("mame.exe", MameExe);
    EXPECT_STREQ("-skip_gameinfo -skip_warnings -nonu  -nowindow", MessOption);
    EXPECT_EQ(1, MameCheckOnlyPerfect);
    EXPECT_EQ(30000, TimerEndRun);
    EXPECT_EQ(1500, TimerStart);
    EXPECT_EQ(2500, TimerStarting);
    EXPECT_EQ(120, TimerPoll);
    ASSERT_EQ(3, Number_of_machine);
    EXPECT_STREQ("nes", AvailableMachine[2].Name);
    EXPECT_STREQ("unf", AvailableMachine[2].Extension);
}
