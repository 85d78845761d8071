#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "base/names.h"
#include "config/controls.h"
#include "config/settings.h"
#include "config/systems.h"
#include "listxml_stub.h"
#include "support/fake_controls.h"
#include "support/memory_store.h"
#include "support/temp_folder.h"

using std::string;
using std::vector;

namespace {

const char kExe[] = "C:\\Emu\\mess.exe";

// Counts the occurrences of needle in text.
int Occurrences(const string &text, const string &needle)
{
    int count = 0;
    for (size_t at = text.find(needle); at != string::npos; at = text.find(needle, at + 1))
        ++count;
    return count;
}

class AddSystem : public ::testing::Test {
protected:
    MemoryStore store;
    UseMemoryStore useStore{store};
    listxml_stub::UseStubRunner runner;
    FakeDialog dialog;

    void SetUp() override { dialog.texts[IDC_MESS_EXE] = kExe; }
    void Add(const char *name) { AddSystemToList(dialog.Handle(), dialog.Controls(), name); }
    vector<string> &commands() { return runner.state().commands; }
};

// ---- Real reports of Debian's mame -------------------------------------------

TEST_F(AddSystem, RealReportWithBinRomBinAddsOneLinePerExtension)
{
    // 705p3prg has two cartridge slots, each taking bin and rom.
    const string &report = listxml_stub::RealReport("705p3prg");
    ASSERT_NE(string::npos, report.find("<machine name=\"705p3prg\"")) << "mame not usable?";
    ASSERT_EQ(2, Occurrences(report, "extension name=\"bin\""));
    ASSERT_EQ(2, Occurrences(report, "extension name=\"rom\""));
    ASSERT_EQ(4, Occurrences(report, "extension name="));

    Add("705p3prg");
    EXPECT_EQ((vector<string>{"705p3prg bin", "705p3prg rom"}), dialog.list);
    ASSERT_EQ(1u, commands().size());
    EXPECT_EQ("\"C:\\Emu\\mess.exe\" -listxml 705p3prg", commands()[0]);
    EXPECT_STREQ(kExe, MessPath);
    EXPECT_TRUE(dialog.messages.empty());

    // Asked again, the emulator answers the same and nothing is added twice.
    Add("705p3prg");
    EXPECT_EQ(2u, commands().size());
    EXPECT_EQ((vector<string>{"705p3prg bin", "705p3prg rom"}), dialog.list);
}

TEST_F(AddSystem, RealReportsThatAddNothing)
{
    struct Row {
        const char *name;
        const char *why;
    } rows[] = {
        {"pacman", "an arcade game has no software media"},
        {"705P3PRG", "the emulator prints the name in lower case"},
        {"nosuchsys", "the emulator does not know the name"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        dialog.list.clear();
        commands().clear();
        Add(row.name);
        EXPECT_TRUE(dialog.list.empty()) << row.why;
        EXPECT_EQ(1u, commands().size());
        EXPECT_TRUE(dialog.messages.empty());
    }
    // The cases above add nothing for the stated reason, not by accident.
    EXPECT_NE(string::npos, listxml_stub::RealReport("pacman").find("<machine name=\"pacman\""));
    EXPECT_NE(string::npos, listxml_stub::RealReport("705P3PRG").find("extension name=\"bin\""));
    EXPECT_NE(string::npos, listxml_stub::RealReport("nosuchsys").find("No matching machines"));
}

TEST_F(AddSystem, LinesAlreadyThereInOtherLetterCaseAreNotAddedAgain)
{
    dialog.Controls()->ListAdd(dialog.Handle(), IDC_SYSTEMS_LIST, "705P3PRG BIN");
    dialog.Controls()->ListAdd(dialog.Handle(), IDC_SYSTEMS_LIST, "a2600 a26");
    Add("705p3prg");
    EXPECT_EQ((vector<string>{"705P3PRG BIN", "705p3prg rom", "a2600 a26"}), dialog.list);
}

// ---- Refusals ----------------------------------------------------------------

TEST_F(AddSystem, EmptyExecutableBoxIsReportedAndNothingRuns)
{
    dialog.texts[IDC_MESS_EXE] = "";
    Add("705p3prg");
    ASSERT_EQ(1u, dialog.messages.size());
    EXPECT_EQ("You must first set an executable path", dialog.messages[0].text);
    EXPECT_EQ("No executable error", dialog.messages[0].title);
    EXPECT_TRUE(commands().empty());
    EXPECT_TRUE(dialog.list.empty());
}

TEST_F(AddSystem, NamesThatCouldAddOptionsAreRefusedSilently)
{
    runner.state().reports["nes"] = "<machine name=\"nes\"><extension name=\"nes\"/>";
    const char *names[] = {
        "-listxml",   "nes -verbose", "nes\t-x", "nes\"", "..", ".", "nes;ls",
        "nes.zip",    "n\xe9s",       "nes/x",   "nes\\x", "",
    };
    for (const char *name : names) {
        SCOPED_TRACE(name);
        Add(name);
        EXPECT_TRUE(commands().empty());
        EXPECT_TRUE(dialog.list.empty());
        EXPECT_TRUE(dialog.messages.empty());
    }
    // The same report under a plain name is taken.
    Add("nes");
    EXPECT_EQ((vector<string>{"nes nes"}), dialog.list);
}

TEST(SystemName, PlainNamesAreLettersDigitsAndUnderscores)
{
    EXPECT_TRUE(IsPlainName("a2600"));
    EXPECT_TRUE(IsPlainName("Game_Boy_2"));
    EXPECT_FALSE(IsPlainName(""));
    EXPECT_FALSE(IsPlainName("-a"));
    EXPECT_FALSE(IsPlainName("a b"));
    EXPECT_FALSE(IsPlainName("a-b"));
}

// ---- The scan of the report, on report text built for each case -------------

TEST_F(AddSystem, ScanRules)
{
    const string ext127(127, 'x'), ext128(128, 'y');
    struct Row {
        const char *what;
        string report;
        vector<string> lines;
    } rows[] = {
        {"extensions before the machine are not taken",
         "<!ATTLIST extension name CDATA> <extension name=\"early\"/>"
         "<machine name=\"sys\"><extension name=\"bin\"/></machine>",
         {"sys bin"}},
        {"the scan runs on past the machine's end",
         "<machine name=\"sys\"><extension name=\"bin\"/></machine>"
         "<machine name=\"dev\"><extension name=\"prn\"/></machine>",
         {"sys bin", "sys prn"}},
        {"the pattern is the whole quoted name",
         "<machine name=\"system\"><extension name=\"bin\"/></machine>", {}},
        {"an extension of 127 characters is taken",
         "<machine name=\"sys\"><extension name=\"" + ext127 + "\"/>",
         {"sys " + ext127}},
        {"a longer one is skipped, the next is still taken",
         "<machine name=\"sys\"><extension name=\"" + ext128 + "\"/><extension name=\"rom\"/>",
         {"sys rom"}},
        {"a value without its closing quote ends the scan",
         "<machine name=\"sys\"><extension name=\"bin\"/><extension name=\"ro", {"sys bin"}},
        {"no quote after the last extension name",
         "<machine name=\"sys\"><extension name", {}},
        {"an empty value gives the name and a blank",
         "<machine name=\"sys\"><extension name=\"\"/>", {"sys "}},
        {"empty output", "", {}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        dialog.list.clear();
        runner.state().reports["sys"] = row.report;
        Add("sys");
        EXPECT_EQ(row.lines, dialog.list);
    }
    EXPECT_TRUE(dialog.messages.empty());
}

TEST_F(AddSystem, OnlyTheFirst99999CharactersOfTheOutputAreLookedAt)
{
    string head = "<machine name=\"sys\">";
    string report = head + string(99999 - head.size() - 30, ' ') +
                    "<extension name=\"bin\"/>" + "<extension name=\"rom\"/>";
    runner.state().reports["sys"] = report;
    Add("sys");
    EXPECT_EQ((vector<string>{"sys bin"}), dialog.list);
}

TEST_F(AddSystem, TextsThatWouldNotFitTheirBuffersAddNothing)
{
    // The command line: quotes, " -listxml " and the name after a long path.
    string longExe = "C:\\" + string(1000, 'p') + "\\mess.exe";
    dialog.texts[IDC_MESS_EXE] = longExe;
    runner.state().reports["sys"] = "<machine name=\"sys\"><extension name=\"bin\"/>";
    Add("sys");
    EXPECT_TRUE(commands().empty());
    EXPECT_TRUE(dialog.list.empty());

    // The list line: a long name and a long extension together.
    dialog.texts[IDC_MESS_EXE] = kExe;
    string name(990, 'n');
    string ext(40, 'e');
    runner.state().reports[name] =
        "<machine name=\"" + name + "\"><extension name=\"" + ext + "\"/><extension name=\"bin\"/>";
    Add(name.c_str());
    ASSERT_EQ(1u, commands().size());
    EXPECT_EQ((vector<string>{name + " bin"}), dialog.list);

    // A name too long for the search pattern runs nothing.
    commands().clear();
    dialog.list.clear();
    Add(string(1009, 'm').c_str());
    EXPECT_TRUE(commands().empty());
    EXPECT_TRUE(dialog.list.empty());
    EXPECT_TRUE(dialog.messages.empty());
}

// ---- Filling from the software folder ----------------------------------------

class FillSystems : public AddSystem {
protected:
    TempFolder temp{"quillmere-fill-"};
    string folder;

    void SetUp() override
    {
        AddSystem::SetUp();
        ASSERT_FALSE(temp.path().empty());
        folder = temp.path();
    }
    void MakeFolder(const string &name) { ASSERT_EQ(0, mkdir((folder + "/" + name).c_str(), 0755)); }
    void MakeFile(const string &name)
    {
        FILE *file = fopen((folder + "/" + name).c_str(), "w");
        ASSERT_NE(nullptr, file);
        fputs("not a system\n", file);
        fclose(file);
    }
    void Fill() { AddAllSystemToList(dialog.Handle(), dialog.Controls()); }
};

TEST_F(FillSystems, TwoSystemFoldersAndAFileAddTheTwoSystemsLines)
{
    MakeFolder("705p3prg");
    MakeFolder("1292apvs");
    MakeFile("notes");
    MakeFile("readme.txt");
    dialog.texts[IDC_MESS_SOFTWARE] = folder;
    Fill();

    EXPECT_EQ((vector<string>{"1292apvs bin", "1292apvs pgm", "1292apvs rom", "1292apvs tvc",
                              "705p3prg bin", "705p3prg rom"}),
              dialog.list);
    // Every plain entry ran the emulator once; ".", ".." and "readme.txt"
    // are no driver names and ran nothing.
    vector<string> names;
    for (const string &command : commands())
        names.push_back(listxml_stub::NameOf(command));
    std::sort(names.begin(), names.end());
    EXPECT_EQ((vector<string>{"1292apvs", "705p3prg", "notes"}), names);
    EXPECT_TRUE(dialog.messages.empty());
    EXPECT_EQ(folder, MessSoftwarePath);
}

TEST_F(FillSystems, MissingBoxesAndFolders)
{
    struct Row {
        const char *what;
        string exe, software;
        const char *text, *title;
    } rows[] = {
        {"no executable", "", "", "You must first set an executable path", "No executable error"},
        {"no executable, software set", "", "/tmp", "You must first set an executable path",
         "No executable error"},
        {"no software path", kExe, "", "You must first set a software path",
         "No softare path error"},
        {"a folder that cannot be listed", kExe, "/nonexistent/quillmere", nullptr, nullptr},
        {"a file instead of a folder", kExe, "/etc/passwd", nullptr, nullptr},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        dialog.messages.clear();
        dialog.texts[IDC_MESS_EXE] = row.exe;
        dialog.texts[IDC_MESS_SOFTWARE] = row.software;
        Fill();
        EXPECT_TRUE(commands().empty());
        EXPECT_TRUE(dialog.list.empty());
        if (row.text) {
            ASSERT_EQ(1u, dialog.messages.size());
            EXPECT_EQ(row.text, dialog.messages[0].text);
            EXPECT_EQ(row.title, dialog.messages[0].title);
        } else {
            EXPECT_TRUE(dialog.messages.empty());
        }
    }
}

}  // namespace
