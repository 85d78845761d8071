#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "config/controls.h"
#include "config/dialog.h"
#include "config/settings.h"
#include "listxml_stub.h"
#include "support/fake_controls.h"
#include "support/memory_store.h"

using std::string;
using std::vector;

namespace {

// What the dialog asked of the user, and what the user answers.
struct Prompts {
    int abouts = 0;
    vector<std::pair<bool, string>> browses;   // (for MAME, initial name)
    bool choose = true;
    string chosen;
};
Prompts *prompts = nullptr;

bool ChooseExecutable(void *, bool forMame, char *path, int size)
{
    prompts->browses.push_back({forMame, path});
    if (!prompts->choose)
        return false;
    if (prompts->chosen.size() >= static_cast<size_t>(size)) {
        ADD_FAILURE() << "chosen path longer than the buffer";
        return false;
    }
    strcpy(path, prompts->chosen.c_str());
    return true;
}

void ShowAbout(void *)
{
    ++prompts->abouts;
}

const DialogPrompts kPrompts = {ChooseExecutable, ShowAbout};

class ConfigDialog : public ::testing::Test {
protected:
    MemoryStore store;
    UseMemoryStore useStore{store};
    listxml_stub::UseStubRunner runner;
    FakeDialog dialog;
    Prompts asked;

    void SetUp() override { prompts = &asked; }
    void TearDown() override { prompts = nullptr; }

    void Open() { OpenConfiguration(dialog.Handle(), dialog.Controls()); }
    void Command(int id) { ConfigurationCommand(dialog.Handle(), dialog.Controls(), &kPrompts, id); }
    string Box(int id) { return dialog.texts[id]; }
    void SetList(const vector<string> &lines, int selection)
    {
        dialog.list = lines;
        dialog.selection = selection;
    }
};

// ---- Opening -------------------------------------------------------------------

TEST_F(ConfigDialog, OpeningWithoutAKeyShowsDefaultsAndOkStoresThem)
{
    store.keyExists = false;
    Open();
    for (int id : {IDC_MESS_EXE, IDC_MESS_SOFTWARE, IDC_MESS_BIOS, IDC_MAME_EXE, IDC_MAME_ROMS}) {
        SCOPED_TRACE(id);
        EXPECT_EQ("", Box(id));
        EXPECT_EQ(1u, dialog.texts.count(id)) << "box never set";
    }
    EXPECT_EQ(kMessDefaultOption, Box(IDC_MESS_OPTION));
    EXPECT_EQ(46u, strlen(kMessDefaultOption));
    EXPECT_EQ(kMameDefaultOption, Box(IDC_MAME_OPTION));
    EXPECT_EQ("60000", Box(IDC_TIMER_END_RUN));
    EXPECT_EQ("1000", Box(IDC_TIMER_START));
    EXPECT_EQ(0, dialog.checks[IDC_ONLY_PERFECT]);
    EXPECT_TRUE(dialog.list.empty());
    EXPECT_TRUE(dialog.messages.empty());

    store.keyExists = true;
    Command(IDC_OK);
    EXPECT_EQ(1, dialog.endedWith);
    EXPECT_EQ(13u, store.values.size());
    struct Row {
        const char *name;
        unsigned long type;
        string bytes;
    } rows[] = {
        {"MessPath", kRegSz, string("", 1)},
        {"MessSoftwarePath", kRegSz, string("", 1)},
        {"MessBiosPath", kRegSz, string("", 1)},
        {"MessOption", kRegSz, string(kMessDefaultOption, 47)},
        {"MamePath", kRegSz, string("", 1)},
        {"MameRomsPath", kRegSz, string("", 1)},
        {"MameOption", kRegSz, string(kMameDefaultOption, 25)},
        {"MameCheckOnlyPerfect", kRegDword, string("\0\0\0\0", 4)},
        {"SystemChangeTimer", kRegDword, string("\x60\xea\0\0", 4)},
        {"SplashScreenTimer", kRegDword, string("\xe8\x03\0\0", 4)},
        {"WaitForMESSTimer", kRegDword, string("\xd0\x07\0\0", 4)},
        {"PollTimer", kRegDword, string("\x64\0\0\0", 4)},
        {"SystemsList", kRegMultiSz, string("", 1)},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(store.Has(row.name));
        EXPECT_EQ(row.type, store.values[row.name].type);
        EXPECT_EQ(row.bytes, store.values[row.name].bytes);
    }
}

TEST_F(ConfigDialog, EmptyOptionsAreShownAsTheirDefaults)
{
    struct Row {
        const char *stored;
        string mess, mame;
    } rows[] = {
        {"", kMessDefaultOption, kMameDefaultOption},
        {"-nowindow -verbose", "-nowindow -verbose", "-nowindow -verbose"},
        {" ", " ", " "},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.stored);
        MemoryStore seeded;
        seeded.SetText("MessOption", row.stored);
        seeded.SetText("MameOption", row.stored);
        UseMemoryStore use(seeded);
        FakeDialog shown;
        OpenConfiguration(shown.Handle(), shown.Controls());
        EXPECT_EQ(row.mess, shown.texts[IDC_MESS_OPTION]);
        EXPECT_EQ(row.mame, shown.texts[IDC_MAME_OPTION]);
        EXPECT_EQ(row.mess, MessOption);
        EXPECT_EQ(row.mame, MameOption);
    }
}

TEST_F(ConfigDialog, ZeroTimersBecomeTheirDefaultsOthersStay)
{
    struct Row {
        int32_t stored;
        int32_t endRun, start, starting, poll;
        const char *endRunBox, *startBox;
    } rows[] = {
        {0, 60000, 1000, 2000, 100, "60000", "1000"},
        {5, 5, 5, 5, 5, "5", "5"},
        {-7, -7, -7, -7, -7, "-7", "-7"},
        {2147483647, 2147483647, 2147483647, 2147483647, 2147483647, "2147483647",
         "2147483647"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.stored);
        MemoryStore seeded;
        for (const char *name :
             {"SystemChangeTimer", "SplashScreenTimer", "WaitForMESSTimer", "PollTimer"})
            seeded.SetNumber(name, row.stored);
        UseMemoryStore use(seeded);
        FakeDialog shown;
        OpenConfiguration(shown.Handle(), shown.Controls());
        EXPECT_EQ(row.endRun, TimerEndRun);
        EXPECT_EQ(row.start, TimerStart);
        EXPECT_EQ(row.starting, TimerStarting);
        EXPECT_EQ(row.poll, TimerPoll);
        EXPECT_EQ(row.endRunBox, shown.texts[IDC_TIMER_END_RUN]);
        EXPECT_EQ(row.startBox, shown.texts[IDC_TIMER_START]);
    }
}

TEST_F(ConfigDialog, StoredValuesAreShown)
{
    store.SetText("MessPath", "C:\\Emu\\\\mess.exe");
    store.SetText("MessSoftwarePath", "C:\\Emu\\software");
    store.SetText("MessBiosPath", "C:\\Emu\\bios");
    store.SetText("MamePath", "D:\\Arcade\\mame64.exe");
    store.SetText("MameRomsPath", "D:\\Arcade\\roms");
    store.SetNumber("MameCheckOnlyPerfect", 1);
    store.SetRaw("SystemsList", kRegMultiSz, string("nes nes\0a2600 bin\0nes unf\0\0", 27));
    Open();
    EXPECT_EQ("C:\\Emu\\\\mess.exe", Box(IDC_MESS_EXE));
    EXPECT_EQ("C:\\Emu\\software", Box(IDC_MESS_SOFTWARE));
    EXPECT_EQ("C:\\Emu\\bios", Box(IDC_MESS_BIOS));
    EXPECT_EQ("D:\\Arcade\\mame64.exe", Box(IDC_MAME_EXE));
    EXPECT_EQ("D:\\Arcade\\roms", Box(IDC_MAME_ROMS));
    EXPECT_EQ(1, dialog.checks[IDC_ONLY_PERFECT]);
    // Two entries of one system are two lines, each name, blank, extension.
    EXPECT_EQ((vector<string>{"a2600 bin", "nes nes", "nes unf"}), dialog.list);
}

TEST_F(ConfigDialog, AnExecutablePathThatCannotBeSplitSurvivesSaving)
{
    // A bare name is not split: it stays in the folder setting with no file
    // name, and must come back unchanged however often it is saved.
    for (const char *stored : {"mess.exe", "C:", "\\"}) {
        SCOPED_TRACE(stored);
        MemoryStore seeded;
        seeded.SetText("MessPath", stored);
        seeded.SetText("MamePath", "C:\\mame.exe");
        UseMemoryStore use(seeded);
        for (int round = 0; round < 2; ++round) {
            FakeDialog shown;
            OpenConfiguration(shown.Handle(), shown.Controls());
            EXPECT_EQ(stored, shown.texts[IDC_MESS_EXE]);
            EXPECT_EQ("C:\\mame.exe", shown.texts[IDC_MAME_EXE]);
            ConfigurationCommand(shown.Handle(), shown.Controls(), &kPrompts, IDC_OK);
            EXPECT_EQ(stored, seeded.Text("MessPath"));
            ResetSettings();
        }
    }
}

TEST_F(ConfigDialog, SavedConfigurationOpensTheSame)
{
    store.SetText("MessPath", "C:\\Emu\\mess.exe");
    store.SetText("MessSoftwarePath", "C:\\Emu\\software");
    store.SetText("MessBiosPath", "C:\\Emu\\roms");
    store.SetText("MessOption", "-nowindow");
    store.SetText("MamePath", "D:\\mame.exe");
    store.SetText("MameRomsPath", "D:\\roms");
    store.SetText("MameOption", "-x");
    store.SetNumber("MameCheckOnlyPerfect", 1);
    store.SetNumber("SystemChangeTimer", 12345);
    store.SetNumber("SplashScreenTimer", 678);
    store.SetNumber("WaitForMESSTimer", 9);
    store.SetNumber("PollTimer", 10);
    store.SetRaw("SystemsList", kRegMultiSz, string("a2600 bin\0nes nes\0\0", 19));
    const auto before = store.values;
    Open();
    Command(IDC_OK);
    EXPECT_EQ(1, dialog.endedWith);
    ASSERT_EQ(before.size(), store.values.size());
    for (const auto &[name, value] : before) {
        SCOPED_TRACE(name);
        EXPECT_EQ(value.type, store.values[name].type);
        EXPECT_EQ(value.bytes, store.values[name].bytes);
    }
}

// ---- Commands ------------------------------------------------------------------

TEST_F(ConfigDialog, CommandsWithoutActionChangeNothing)
{
    store.SetText("MessPath", "C:\\Emu\\mess.exe");
    store.SetRaw("SystemsList", kRegMultiSz, string("nes nes\0\0", 9));
    Open();
    dialog.selection = 0;
    const auto texts = dialog.texts;
    const auto list = dialog.list;
    const auto values = store.values;
    // 1 and 2: Enter and Escape / the close box; then the check box, a text
    // box, the list, labels and ids the dialog does not have.
    for (int id : {1, 2, 0, int{IDC_ONLY_PERFECT}, int{IDC_MESS_EXE}, int{IDC_SYSTEMS_LIST}, 101,
                   115, 124, 200,
                   204, 65535}) {
        SCOPED_TRACE(id);
        Command(id);
        EXPECT_EQ(-1, dialog.endedWith);
        EXPECT_EQ(texts, dialog.texts);
        EXPECT_EQ(list, dialog.list);
        EXPECT_EQ(0, dialog.selection);
        EXPECT_TRUE(dialog.messages.empty());
        EXPECT_EQ(0, asked.abouts);
        EXPECT_TRUE(asked.browses.empty());
        EXPECT_TRUE(runner.state().commands.empty());
    }
    EXPECT_EQ(values.size(), store.values.size());
}

TEST_F(ConfigDialog, CancelEndsTheDialogAndStoresNothing)
{
    store.SetText("MessOption", "-kept");
    Open();
    dialog.texts[IDC_MESS_OPTION] = "-changed";
    dialog.texts[IDC_TIMER_END_RUN] = "5";
    dialog.list = {"nes nes"};
    const auto values = store.values;
    Command(IDC_CANCEL);
    EXPECT_EQ(1, dialog.endedWith);
    EXPECT_EQ(values.size(), store.values.size());
    EXPECT_EQ("-kept", store.Text("MessOption"));
    EXPECT_FALSE(store.Has("SystemChangeTimer"));
    EXPECT_FALSE(store.Has("SystemsList"));
}

TEST_F(ConfigDialog, OkStoresWhatTheBoxesHold)
{
    Open();
    dialog.texts[IDC_MESS_EXE] = "C:\\Emu\\mess.exe";
    dialog.texts[IDC_TIMER_END_RUN] = "  42ms";
    dialog.texts[IDC_TIMER_START] = "none";
    dialog.checks[IDC_ONLY_PERFECT] = 1;
    dialog.list = {"a2600 bin", "nes nes"};
    Command(IDC_OK);
    EXPECT_EQ(1, dialog.endedWith);
    EXPECT_EQ("C:\\Emu\\mess.exe", store.Text("MessPath"));
    EXPECT_EQ(42, store.Number("SystemChangeTimer"));
    EXPECT_EQ(0, store.Number("SplashScreenTimer"));
    EXPECT_EQ(1, store.Number("MameCheckOnlyPerfect"));
    EXPECT_EQ(string("a2600 bin\0nes nes\0\0", 19), store.values["SystemsList"].bytes);
}

TEST_F(ConfigDialog, DeleteSelectedSelectsTheLineThatTookItsPlace)
{
    const vector<string> three = {"a2600 bin", "nes nes", "sms sms"};
    struct Row {
        const char *what;
        vector<string> lines;
        int selected;
        vector<string> left;
        int selectedAfter;
    } rows[] = {
        {"last of three", three, 2, {"a2600 bin", "nes nes"}, 1},
        {"middle", three, 1, {"a2600 bin", "sms sms"}, 1},
        {"first", three, 0, {"nes nes", "sms sms"}, 0},
        {"nothing selected", three, kListError, three, kListError},
        {"the only line", {"nes nes"}, 0, {}, kListError},
        {"empty list", {}, kListError, {}, kListError},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        SetList(row.lines, row.selected);
        Command(IDC_DELETE_SELECTED);
        EXPECT_EQ(row.left, dialog.list);
        EXPECT_EQ(row.selectedAfter, dialog.selection);
    }
    EXPECT_EQ(-1, dialog.endedWith);
}

TEST_F(ConfigDialog, ResetEmptiesTheList)
{
    SetList({"a2600 bin", "nes nes"}, 1);
    Command(IDC_RESET_LIST);
    EXPECT_TRUE(dialog.list.empty());
    EXPECT_EQ(kListError, dialog.selection);
}

TEST_F(ConfigDialog, DefaultButtonsSetTheirOptionOnly)
{
    Open();
    dialog.texts[IDC_MESS_OPTION] = "-mine";
    dialog.texts[IDC_MAME_OPTION] = "-mine too";
    strcpy(MameOption, "-mine too");

    Command(IDC_MESS_DEFAULT);
    EXPECT_EQ(kMessDefaultOption, Box(IDC_MESS_OPTION));
    EXPECT_STREQ(kMessDefaultOption, MessOption);
    EXPECT_EQ("-mine too", Box(IDC_MAME_OPTION));
    EXPECT_STREQ("-mine too", MameOption);

    dialog.texts[IDC_MESS_OPTION] = "-mine";
    Command(IDC_MAME_DEFAULT);
    EXPECT_EQ(kMameDefaultOption, Box(IDC_MAME_OPTION));
    EXPECT_STREQ(kMameDefaultOption, MameOption);
    EXPECT_EQ("-mine", Box(IDC_MESS_OPTION));
}

TEST_F(ConfigDialog, AboutShowsTheAboutBox)
{
    Command(IDC_ABOUT);
    EXPECT_EQ(1, asked.abouts);
    EXPECT_TRUE(dialog.messages.empty());
    EXPECT_EQ(-1, dialog.endedWith);
}

// ---- Browsing --------------------------------------------------------------------

TEST_F(ConfigDialog, BrowsingTheMessExecutableFillsItsFolders)
{
    struct Row {
        string chosen, software, bios, folder, exe;
    } rows[] = {
        {"C:\\Emu\\mess.exe", "C:\\Emu\\software", "C:\\Emu\\roms", "C:\\Emu", "mess.exe"},
        {"C:\\mess.exe", "C:\\software", "C:\\roms", "C:", "mess.exe"},
        {"Z:\\tmp\\a b\\messui.exe", "Z:\\tmp\\a b\\software", "Z:\\tmp\\a b\\roms",
         "Z:\\tmp\\a b", "messui.exe"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.chosen);
        Open();
        dialog.texts[IDC_MESS_EXE] = "typed.exe";
        dialog.texts[IDC_MESS_SOFTWARE] = "old software";
        dialog.texts[IDC_MESS_BIOS] = "old bios";
        asked.browses.clear();
        asked.chosen = row.chosen;
        Command(IDC_MESS_BROWSE);
        ASSERT_EQ(1u, asked.browses.size());
        EXPECT_FALSE(asked.browses[0].first);
        EXPECT_EQ("typed.exe", asked.browses[0].second);
        EXPECT_EQ(row.chosen, Box(IDC_MESS_EXE));
        EXPECT_EQ(row.software, Box(IDC_MESS_SOFTWARE));
        EXPECT_EQ(row.bios, Box(IDC_MESS_BIOS));
        EXPECT_EQ(row.folder, MessPath);
        EXPECT_EQ(row.exe, MessExe);
        EXPECT_EQ(row.software, MessSoftwarePath);
        EXPECT_EQ(row.bios, MessBiosPath);
        EXPECT_EQ("", Box(IDC_MAME_EXE));
        EXPECT_EQ("", Box(IDC_MAME_ROMS));
    }
}

TEST_F(ConfigDialog, BrowsingTheMameExecutableFillsItsRomFolderOnly)
{
    Open();
    dialog.texts[IDC_MAME_EXE] = "D:\\old\\mame.exe";
    asked.chosen = "D:\\Arcade\\mame64.exe";
    const auto before = dialog.texts;
    Command(IDC_MAME_BROWSE);
    ASSERT_EQ(1u, asked.browses.size());
    EXPECT_TRUE(asked.browses[0].first);
    EXPECT_EQ("D:\\old\\mame.exe", asked.browses[0].second);
    auto expected = before;
    expected[IDC_MAME_EXE] = "D:\\Arcade\\mame64.exe";
    expected[IDC_MAME_ROMS] = "D:\\Arcade\\roms";
    EXPECT_EQ(expected, dialog.texts);
    EXPECT_STREQ("D:\\Arcade", MamePath);
    EXPECT_STREQ("mame64.exe", MameExe);
    EXPECT_STREQ("D:\\Arcade\\roms", MameRomsPath);
}

TEST_F(ConfigDialog, CancelledBrowseChangesNoBox)
{
    Open();
    dialog.texts[IDC_MESS_EXE] = "C:\\Emu\\mess.exe";
    dialog.texts[IDC_MESS_SOFTWARE] = "E:\\soft";
    dialog.texts[IDC_MAME_EXE] = "D:\\mame.exe";
    asked.choose = false;
    const auto before = dialog.texts;
    Command(IDC_MESS_BROWSE);
    Command(IDC_MAME_BROWSE);
    EXPECT_EQ(2u, asked.browses.size());
    EXPECT_EQ(before, dialog.texts);
}

TEST_F(ConfigDialog, DerivedFolderTooLongForItsBoxLeavesTheBox)
{
    Open();
    dialog.texts[IDC_MESS_SOFTWARE] = "old software";
    dialog.texts[IDC_MESS_BIOS] = "old bios";
    // 1018 characters of folder: "\roms" still fits, "\software" does not.
    asked.chosen = "C:\\" + string(1015, 'f') + "\\m";
    Command(IDC_MESS_BROWSE);
    EXPECT_EQ("old software", Box(IDC_MESS_SOFTWARE));
    EXPECT_EQ("C:\\" + string(1015, 'f') + "\\roms", Box(IDC_MESS_BIOS));
}

// ---- Adding a system -----------------------------------------------------------

TEST_F(ConfigDialog, AddThisSystemNeedsANameAndAnExecutable)
{
    Open();
    Command(IDC_ADD_SYSTEM);
    ASSERT_EQ(1u, dialog.messages.size());
    EXPECT_EQ("Enter a system name (driver name)", dialog.messages[0].text);
    EXPECT_EQ("No system name error", dialog.messages[0].title);

    dialog.texts[IDC_SYSTEM_NAME] = "705p3prg";
    Command(IDC_ADD_SYSTEM);
    ASSERT_EQ(2u, dialog.messages.size());
    EXPECT_EQ("You must first set an executable path", dialog.messages[1].text);
    EXPECT_EQ("No executable error", dialog.messages[1].title);
    EXPECT_TRUE(runner.state().commands.empty());

    dialog.texts[IDC_MESS_EXE] = "C:\\Emu\\mess.exe";
    Command(IDC_ADD_SYSTEM);
    EXPECT_EQ(2u, dialog.messages.size());
    EXPECT_EQ((vector<string>{"705p3prg bin", "705p3prg rom"}), dialog.list);
    EXPECT_EQ(-1, dialog.endedWith);
}

TEST_F(ConfigDialog, FillUsesTheBoxesAsTheyAreNow)
{
    Open();
    Command(IDC_FILL_SYSTEMS);
    ASSERT_EQ(1u, dialog.messages.size());
    EXPECT_EQ("No executable error", dialog.messages[0].title);
    dialog.texts[IDC_MESS_EXE] = "C:\\Emu\\mess.exe";
    Command(IDC_FILL_SYSTEMS);
    ASSERT_EQ(2u, dialog.messages.size());
    EXPECT_EQ("No softare path error", dialog.messages[1].title);
}

}  // namespace
