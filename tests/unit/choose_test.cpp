#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/temp_folder.h"
#include "support/test_files.h"
#include "base/random.h"
#include "config/settings.h"
#include "emulator/choose.h"
#include "emulator/runner.h"

namespace fs = std::filesystem;
using std::string;
using std::vector;

namespace {

// ---- Scripted draws --------------------------------------------------------

vector<int> script;
size_t drawsTaken = 0;
bool endlessDraws = false;   // past the script, keep answering 0 (bound tests)

int ScriptedDraw()
{
    if (drawsTaken < script.size())
        return script[drawsTaken++];
    drawsTaken++;
    if (!endlessDraws)
        ADD_FAILURE() << "more draws than scripted: draw " << drawsTaken;
    return 0;
}

// ---- Stub emulator ---------------------------------------------------------

std::map<string, string> reportFor;   // machine name -> its -listxml report
vector<string> queries;               // every command line the queries ran

int StubRunner(char *command, char *output)
{
    queries.push_back(command);
    string text = "No matching machines found";
    const char *marker = strstr(command, " -listxml ");
    if (marker) {
        auto found = reportFor.find(marker + strlen(" -listxml "));
        if (found != reportFor.end())
            text = found->second;
    }
    snprintf(output, kRunnerOutputBytes, "%s", text.c_str());
    return 0;
}

// A report of one machine whose single device takes the given extensions.
string SystemReport(const string &machine, const string &device, const vector<string> &extensions)
{
    string text = "<!DOCTYPE mame [<!ATTLIST instance name CDATA #REQUIRED>"
                  "<!ATTLIST extension name CDATA #REQUIRED>]>\n"
                  "<mame>\n\t<machine name=\"" + machine + "\">\n"
                  "\t\t<description>Test</description>\n\t\t<year>1985</year>\n"
                  "\t\t<device type=\"cartridge\" tag=\"cart\">\n"
                  "\t\t\t<instance name=\"" + device + "\" briefname=\"cart\"/>\n";
    for (const string &e : extensions)
        text += "\t\t\t<extension name=\"" + e + "\"/>\n";
    return text + "\t\t</device>\n\t</machine>\n</mame>\n";
}

string GameReport(const string &game, const string &status)
{
    return "<mame>\n\t<machine name=\"" + game + "\">\n\t\t<rom name=\"a\" status=\"good\"/>\n"
           "\t\t<driver status=\"" + status + "\" emulation=\"" + status + "\"/>\n\t</machine>\n</mame>\n";
}

// ---- Folder trees ----------------------------------------------------------

// The Windows form of a native path: the code builds paths with backslashes.
string Win(const string &path)
{
    string out = path;
    std::replace(out.begin(), out.end(), '/', '\\');
    return out;
}

void Touch(const string &file, const string &bytes = "x")
{
    fs::create_directories(fs::path(file).parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

// The entries of a folder in the order the platform lists them.
vector<string> Listing(const string &folder)
{
    bool listed = false;
    vector<string> names = FolderEntries(folder, &listed);
    EXPECT_TRUE(listed) << folder;
    return names;
}

// A zip archive holding only a central directory with the given names (the
// choice never looks further), for names a file system cannot hold.
string DirectoryOnlyZip(const vector<string> &names)
{
    string directory;
    for (const string &name : names) {
        directory += string("PK\x01\x02", 4) + string(24, '\0');
        PutWord(directory, name.size());
        directory += string(16, '\0') + name;
    }
    string out = directory + string("PK\x05\x06", 4) + string(4, '\0');
    PutWord(out, names.size());
    PutWord(out, names.size());
    PutDword(out, directory.size());
    PutDword(out, 0);
    PutWord(out, 0);
    return out;
}

class Choose : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetSettings();
        script.clear();
        drawsTaken = 0;
        endlessDraws = false;
        reportFor.clear();
        queries.clear();
        SetRandomSource(ScriptedDraw);
        SetCommandRunner(StubRunner);
        ASSERT_FALSE(folder.path().empty());
        root = folder.path();
        strcpy(machine, "before");
        strcpy(software, "before");
        strcpy(command, "before");
    }
    void TearDown() override
    {
        SetRandomSource(nullptr);
        SetCommandRunner(nullptr);
        ResetSettings();
    }

    void SetMame(const string &roms, const string &option = "-opt")
    {
        strcpy(MamePath, "E:\\Arcade");
        strcpy(MameExe, "arcade.exe");
        strcpy(MameOption, option.c_str());
        strcpy(MameRomsPath, roms.c_str());
    }

    void SetMess(const string &softwareRoot, const string &option = "-opt")
    {
        strcpy(MessPath, "E:\\Sys");
        strcpy(MessExe, "sys.exe");
        strcpy(MessBiosPath, "E:\\Sys\\bios");
        strcpy(MessOption, option.c_str());
        strcpy(MessSoftwarePath, softwareRoot.c_str());
    }

    int Run() { return ChooseSoftware(machine, software, command); }

    TempFolder folder{"choose_test_"};
    string root;
    char machine[kMachineBytes];
    char software[kSoftwareBytes];
    char command[kCommandBytes];
};

const string kMessStart = "\"E:\\Sys\\sys.exe\" -biospath \"E:\\Sys\\bios\" -opt ";

// ---- The random entry of a folder -------------------------------------------

TEST_F(Choose, RandomFileOfAFolder)
{
    char name[kEntryNameBytes];
    Touch(root + "/file");
    script = {5, 5, 5};
    EXPECT_EQ(0, GetRandomFileInDirectory(Win(root + "/file").c_str(), name));
    EXPECT_EQ(0, GetRandomFileInDirectory(Win(root + "/missing").c_str(), name));
    fs::create_directories(root + "/empty");
    EXPECT_EQ(0, GetRandomFileInDirectory(Win(root + "/empty").c_str(), name));
    EXPECT_EQ(0u, drawsTaken) << "nothing to choose from takes no draw";

    // One entry: that entry, whatever the draw.
    fs::create_directories(root + "/one/.hidden");
    for (int draw : {0, 1, 32767}) {
        SCOPED_TRACE(draw);
        script = {draw};
        drawsTaken = 0;
        ASSERT_EQ(1, GetRandomFileInDirectory(Win(root + "/one").c_str(), name));
        EXPECT_STREQ(".hidden", name);
    }
}

TEST_F(Choose, RandomFileTakesTheDrawModuloTheCount)
{
    for (const char *n : {"x", "y", "z"})
        Touch(root + "/three/" + n);
    vector<string> listed = Listing(root + "/three");
    char name[kEntryNameBytes];
    // Draw 4 among three entries is the second one listed.
    script = {4};
    ASSERT_EQ(1, GetRandomFileInDirectory(Win(root + "/three").c_str(), name));
    EXPECT_EQ(listed[1], name);
    // Every entry can be drawn, each by its own residue.
    std::set<string> drawn;
    for (int draw : {0, 1, 2, 3, 32766, 32767}) {
        script = {draw};
        drawsTaken = 0;
        ASSERT_EQ(1, GetRandomFileInDirectory(Win(root + "/three").c_str(), name));
        EXPECT_EQ(listed[draw % 3], name) << draw;
        drawn.insert(name);
    }
    EXPECT_EQ((std::set<string>{"x", "y", "z"}), drawn);
}

// ---- Neither emulator -------------------------------------------------------

TEST_F(Choose, NeitherEmulatorEndsTheProcessWithStatusOne)
{
    strcpy(MameRomsPath, Win(root).c_str());
    strcpy(MessSoftwarePath, Win(root).c_str());
    EXPECT_EXIT(Run(), ::testing::ExitedWithCode(1), "");
}

// ---- Arcade games -------------------------------------------------------------

TEST_F(Choose, GameNameIsTheLowerCasedEntryCutAtZip)
{
    struct Row {
        const char *entry;
        bool folder;
        const char *game;
    } rows[] = {
        {"Game1.ZIP", false, "game1"},
        {"a.zip.old", false, "a"},
        {"game2", true, "game2"},
        {"PAC.zipzip", false, "pac"},
        // Not plain driver names: an option in disguise, a dot, a blank.
        {"-createconfig.zip", false, nullptr},
        {"game3.7z", false, "game3"},
        {"two words.zip", false, nullptr},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.entry);
        string roms = root + "/roms_" + std::to_string(&row - rows);
        if (row.folder)
            fs::create_directories(roms + "/" + row.entry);
        else
            Touch(roms + "/" + row.entry);
        SetMame(Win(roms));
        script = {1, 12345};
        drawsTaken = 0;
        strcpy(machine, "kept");
        if (!row.game) {
            EXPECT_EQ(1, Run());
            continue;
        }
        reportFor[row.game] = GameReport(row.game, "imperfect");
        ASSERT_EQ(0, Run());
        EXPECT_EQ(1, MameOrMess);
        EXPECT_STREQ(row.game, software);
        EXPECT_STREQ("kept", machine);
        EXPECT_EQ("\"E:\\Arcade\\arcade.exe\" -opt -rompath \"" + Win(roms) + "\" \"" + row.game +
                      "\"",
                  command);
        EXPECT_EQ(2u, drawsTaken);
        EXPECT_EQ("\"E:\\Arcade\\arcade.exe\" -listxml " + string(row.game),
                  queries.empty() ? "" : queries.back()) << "the emulator is asked about the game";
    }
}

TEST_F(Choose, FolderEndingInBackslashKeepsItsClosingQuote)
{
    Touch(root + "/roms/pacman.zip");
    SetMame(Win(root + "/roms") + "\\", "");
    reportFor["pacman"] = GameReport("pacman", "good");
    script = {3, 0};
    ASSERT_EQ(0, Run());
    EXPECT_EQ("\"E:\\Arcade\\arcade.exe\"  -rompath \"" + Win(root + "/roms") +
                  "\\\\\" \"pacman\"",
              command);
}

TEST_F(Choose, EmptyMameOptionLeavesTwoBlanks)
{
    Touch(root + "/roms/pacman.zip");
    SetMame(Win(root + "/roms"), "");
    reportFor["pacman"] = GameReport("pacman", "good");
    script = {3, 0};
    ASSERT_EQ(0, Run());
    EXPECT_EQ("\"E:\\Arcade\\arcade.exe\"  -rompath \"" + Win(root + "/roms") + "\" \"pacman\"",
              command);
}

TEST_F(Choose, ArcadeTossWithoutAUsableRomFolder)
{
    struct Row {
        const char *what;
        string roms;
        bool mamePath;
    } rows[] = {
        {"ROM folder not set", "", true},
        {"MAME not set", Win(root + "/roms"), false},
        {"ROM folder missing", Win(root + "/missing"), true},
        {"ROM folder empty", Win(root + "/empty"), true},
        {"ROM folder is a file", Win(root + "/file"), true},
    };
    fs::create_directories(root + "/empty");
    Touch(root + "/file");
    Touch(root + "/roms/game.zip");
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        SetMame(row.roms);
        if (!row.mamePath) {
            MamePath[0] = '\0';
            strcpy(MessPath, "E:\\Sys");   // so the process is not ended
        }
        script = {1};
        drawsTaken = 0;
        strcpy(software, "before");
        strcpy(command, "before");
        MameOrMess = 0;
        EXPECT_EQ(1, Run());
        EXPECT_EQ(1, MameOrMess);
        EXPECT_STREQ("before", software);
        EXPECT_STREQ("before", command);
        EXPECT_EQ(1u, drawsTaken);
    }
}

TEST_F(Choose, PerfectOnlyAsksTheEmulatorAboutTheGame)
{
    Touch(root + "/roms/Pacman.zip");
    SetMame(Win(root + "/roms"));
    MameCheckOnlyPerfect = 1;
    struct Row {
        const char *what;
        string report;
        int result;
    } rows[] = {
        {"good", GameReport("pacman", "good"), 0},
        {"preliminary", GameReport("pacman", "preliminary"), 1},
        {"imperfect", GameReport("pacman", "imperfect"), 1},
        {"status without markers", "<machine name=\"pacman\"><driver status=\"fine\"/>", 0},
        {"unknown game", "", 1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        reportFor.clear();
        if (!row.report.empty())
            reportFor["pacman"] = row.report;
        queries.clear();
        script = {1, 0};
        drawsTaken = 0;
        EXPECT_EQ(row.result, Run());
        ASSERT_EQ(1u, queries.size());
        EXPECT_EQ("\"E:\\Arcade\\arcade.exe\" -listxml pacman", queries[0]);
    }
}

// ---- Systems and their software -------------------------------------------------

TEST_F(Choose, EmptyListTakesTheFolderNameInLowerCase)
{
    Touch(root + "/soft/ABC/x.BIN");
    SetMess(Win(root + "/soft"));
    reportFor["abc"] = SystemReport("abc", "dev", {"rom", "bin"});
    script = {0, 9, 9};
    ASSERT_EQ(0, Run());
    EXPECT_EQ(0, MameOrMess);
    EXPECT_STREQ("abc", machine);
    EXPECT_STREQ("x.BIN", software);
    EXPECT_EQ(kMessStart + "abc -dev \"" + Win(root + "/soft/ABC/x.BIN") + "\"", command);
    EXPECT_EQ(vector<string>{"\"E:\\Sys\\sys.exe\" -listxml abc"}, queries);
    EXPECT_EQ(3u, drawsTaken);
}

TEST_F(Choose, ListEntryNameIsUsedAsStoredAndTheTreeIsDescended)
{
    Touch(root + "/soft/NES_2/sub/Game.nes");
    SetMess(Win(root + "/soft"));
    AppendMachineEntry("NES_2", "nes");
    reportFor["NES_2"] = SystemReport("NES_2", "cart", {"nes"});
    script = {2, 0, 0, 0};
    ASSERT_EQ(0, Run());
    EXPECT_STREQ("NES_2", machine);
    EXPECT_STREQ("Game.nes", software);
    EXPECT_EQ(kMessStart + "NES_2 -cart \"" + Win(root + "/soft/NES_2/sub/Game.nes") + "\"",
              command);
    EXPECT_EQ(4u, drawsTaken) << "coin, system, two folder levels";
}

TEST_F(Choose, EmptyFolderOnTheWayDownEndsTheCallWithoutANewDraw)
{
    fs::create_directories(root + "/soft/abc/empty");
    SetMess(Win(root + "/soft"));
    AppendMachineEntry("abc", "bin");
    AppendMachineEntry("abc", "rom");
    script = {0, 0, 0};
    strcpy(software, "");
    EXPECT_EQ(1, Run());
    EXPECT_EQ(3u, drawsTaken);
    EXPECT_STREQ("empty", software) << "partial values may stay";
    EXPECT_TRUE(queries.empty());

    // The system's own folder empty: the same.
    fs::remove(root + "/soft/abc/empty");
    script = {0, 1};
    drawsTaken = 0;
    EXPECT_EQ(1, Run());
    EXPECT_EQ(2u, drawsTaken);
}

TEST_F(Choose, MissingSystemFolderDrawsAnotherSystem)
{
    string archive = root + "/soft/abc/Pack.Zip";
    Touch(archive, DirectoryOnlyZip({"one.bin", "two.bin", "three.bin"}));
    SetMess(Win(root + "/soft"));
    AppendMachineEntry("gone", "bin");
    AppendMachineEntry("abc", "bin");
    reportFor["abc"] = SystemReport("abc", "dev", {"bin"});
    // coin, "gone" (no folder), "abc", its one entry, then member 7 % 3 = 1.
    script = {4, 2, 3, 0, 7};
    ASSERT_EQ(0, Run());
    EXPECT_STREQ("abc", machine);
    EXPECT_STREQ("two.bin", software);
    EXPECT_EQ(kMessStart + "abc -dev \"" + Win(archive) + "\\two.bin\"", command);
    EXPECT_EQ(5u, drawsTaken);
}

TEST_F(Choose, ArchiveMemberCommandLineFromInfoZip)
{
    Touch(root + "/work/sub/Game.bin", "game");
    fs::create_directories(root + "/Soft/abc");
    string line = "cd '" + root + "/work' && zip -q -D '" + root + "/Soft/abc/Pack.zip' sub/Game.bin";
    ASSERT_EQ(0, system(line.c_str()));
    SetMess(Win(root + "/Soft"));
    AppendMachineEntry("abc", "bin");
    reportFor["abc"] = SystemReport("abc", "dev", {"bin"});
    script = {0, 0, 0, 0};
    ASSERT_EQ(0, Run());
    EXPECT_STREQ("abc", machine);
    EXPECT_STREQ("sub/Game.bin", software);
    EXPECT_EQ(kMessStart + "abc -dev \"" + Win(root + "/Soft/abc/Pack.zip") + "\\sub/Game.bin\"",
              command);
    EXPECT_EQ(4u, drawsTaken);
}

TEST_F(Choose, MembersWithoutAnExtensionAreRefused)
{
    string archive = root + "/soft/abc/set.zip";
    Touch(archive, DirectoryOnlyZip({"readme", "sub/", "ok.bin"}));
    SetMess(Win(root + "/soft"));
    AppendMachineEntry("abc", "bin");
    reportFor["abc"] = SystemReport("abc", "dev", {"bin"});
    struct Row {
        int draw;
        int result;
        const char *member;
    } rows[] = {{0, 1, "readme"}, {1, 1, "sub/"}, {2, 0, "ok.bin"}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.member);
        script = {0, 0, 0, row.draw};
        drawsTaken = 0;
        EXPECT_EQ(row.result, Run());
        EXPECT_EQ(4u, drawsTaken);
        if (row.result == 0) {
            EXPECT_STREQ(row.member, software);
        }
    }
}

TEST_F(Choose, ArchiveShorterThanItsCountIsRefused)
{
    // The end record counts three entries, the directory holds one.
    string zip = DirectoryOnlyZip({"only.bin"});
    string bytes = zip.substr(0, zip.size() - 14);
    PutWord(bytes, 3);
    PutWord(bytes, 3);
    bytes += zip.substr(zip.size() - 10);
    Touch(root + "/soft/abc/short.zip", bytes);
    SetMess(Win(root + "/soft"));
    AppendMachineEntry("abc", "bin");
    reportFor["abc"] = SystemReport("abc", "dev", {"bin"});
    script = {0, 0, 0, 1};
    EXPECT_EQ(1, Run());
    EXPECT_TRUE(queries.empty());
    script = {0, 0, 0, 0};
    drawsTaken = 0;
    EXPECT_EQ(0, Run());
    EXPECT_STREQ("only.bin", software);

    // Not an archive at all, though named like one.
    Touch(root + "/soft/abc/short.zip", "not a zip");
    script = {0, 0, 0};
    drawsTaken = 0;
    EXPECT_EQ(1, Run());
    EXPECT_EQ(3u, drawsTaken);
}

TEST_F(Choose, DeviceQueryFailuresRefuseTheChoice)
{
    Touch(root + "/soft/abc/game.xyz");
    SetMess(Win(root + "/soft"));
    AppendMachineEntry("abc", "bin");
    struct Row {
        const char *what;
        string report;
    } rows[] = {
        {"unknown system", ""},
        {"no device takes the extension", SystemReport("abc", "dev", {"bin", "rom"})},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        reportFor.clear();
        if (!row.report.empty())
            reportFor["abc"] = row.report;
        script = {0, 0, 0};
        drawsTaken = 0;
        EXPECT_EQ(1, Run());
    }
}

TEST_F(Choose, VanishedChosenPathIsRefused)
{
    // A chosen entry that cannot be opened for another reason than being a
    // file: a link to nothing.
    fs::create_directories(root + "/soft/abc");
    fs::create_symlink(root + "/nowhere", root + "/soft/abc/link.bin");
    SetMess(Win(root + "/soft"));
    AppendMachineEntry("abc", "bin");
    reportFor["abc"] = SystemReport("abc", "dev", {"bin"});
    script = {0, 0, 0};
    EXPECT_EQ(1, Run());
    EXPECT_EQ(3u, drawsTaken);
    EXPECT_TRUE(queries.empty());
}

TEST_F(Choose, MessTossWithoutSoftwareTreeOrEmulator)
{
    strcpy(MamePath, "E:\\Arcade");
    script = {0};
    EXPECT_EQ(1, Run());
    EXPECT_EQ(0, MameOrMess);
    SetMess(Win(root));
    MessPath[0] = '\0';
    script = {0};
    drawsTaken = 0;
    EXPECT_EQ(1, Run());
    EXPECT_EQ(1u, drawsTaken);
}

TEST_F(Choose, NewSystemDrawsAreBounded)
{
    fs::create_directories(root + "/soft");
    SetMess(Win(root + "/soft"));
    for (const char *name : {"gone1", "gone2", "gone3"})
        AppendMachineEntry(name, "bin");
    endlessDraws = true;
    script = {0};
    EXPECT_EQ(1, Run());
    EXPECT_EQ(1u + 1 + kMaxNewMachineDraws, drawsTaken);
    EXPECT_TRUE(queries.empty());

    // Empty list and a software root that is no folder: no draws at all
    // beyond the coin, and still an end.
    SetMess(Win(root + "/missing"));
    ClearMachineList();
    drawsTaken = 0;
    EXPECT_EQ(1, Run());
    EXPECT_EQ(1u, drawsTaken);
}

// ---- Names that do not fit or could change the command line -------------------

TEST_F(Choose, OverlongTextsAreRefusedNotCut)
{
    // A system folder name longer than the 63 characters of machine.
    string longSystem(70, 's');
    Touch(root + "/soft1/" + longSystem + "/game.bin");
    SetMess(Win(root + "/soft1"));
    reportFor[longSystem] = SystemReport(longSystem, "dev", {"bin"});
    script = {0, 0, 0};
    EXPECT_EQ(1, Run());
    EXPECT_TRUE(queries.empty());

    // A working path beyond 2047 characters.
    string deep = root + "/soft2/abc";
    while (deep.size() < 2100)
        deep += "/" + string(200, 'd');
    Touch(deep + "/game.bin");
    SetMess(Win(root + "/soft2"));
    AppendMachineEntry("abc", "bin");
    reportFor["abc"] = SystemReport("abc", "dev", {"bin"});
    endlessDraws = true;
    script = {0};
    drawsTaken = 0;
    EXPECT_EQ(1, Run());
    EXPECT_TRUE(queries.empty());

    // A member name longer than the 1023 characters of software.
    Touch(root + "/soft3/abc/big.zip", DirectoryOnlyZip({string(1100, 'm') + ".bin"}));
    SetMess(Win(root + "/soft3"));
    script = {0, 0, 0, 0};
    drawsTaken = 0;
    EXPECT_EQ(1, Run());
    EXPECT_EQ(4u, drawsTaken);
    EXPECT_EQ(nullptr, strstr(software, "mmm"));
    EXPECT_EQ(nullptr, strstr(command, "mmm"));

    // A command line beyond 1023 characters.
    Touch(root + "/roms/game.zip");
    SetMame(Win(root + "/roms"), string(1000, 'o'));
    script = {1, 0};
    drawsTaken = 0;
    strcpy(software, "before");
    EXPECT_EQ(1, Run());
    EXPECT_STREQ("", command);
    EXPECT_STREQ("before", software);
}

TEST_F(Choose, NamesThatWouldAddOptionsAreRefused)
{
    // A ROM file whose name would close the quoted game name.
    Touch(root + "/roms/x\" -script \"y.zip");
    SetMame(Win(root + "/roms"));
    MameCheckOnlyPerfect = 1;
    script = {1, 0};
    EXPECT_EQ(1, Run());
    EXPECT_TRUE(queries.empty()) << "refused before the emulator is asked";

    // A system folder whose name holds a blank and a dash.
    Touch(root + "/soft1/a -x/game.bin");
    SetMess(Win(root + "/soft1"));
    reportFor["a -x"] = SystemReport("a", "dev", {"bin"});
    script = {0, 0, 0};
    drawsTaken = 0;
    EXPECT_EQ(1, Run());
    EXPECT_TRUE(queries.empty());

    // A device name with a blank, as a report could give it.
    Touch(root + "/soft2/abc/game.bin");
    SetMess(Win(root + "/soft2"));
    reportFor["abc"] = SystemReport("abc", "car tridge", {"bin"});
    queries.clear();
    script = {0, 0, 0};
    drawsTaken = 0;
    EXPECT_EQ(1, Run());
    EXPECT_EQ(1u, queries.size());
    reportFor["abc"] = SystemReport("abc", "cart-2", {"bin"});
    script = {0, 0, 0};
    drawsTaken = 0;
    EXPECT_EQ(1, Run());
    reportFor["abc"] = SystemReport("abc", "cart_2", {"bin"});
    script = {0, 0, 0};
    drawsTaken = 0;
    EXPECT_EQ(0, Run()) << "letters, digits and '_' are fine";
    // The same for a member of an archive.
    Touch(root + "/soft5/abc/set.zip", DirectoryOnlyZip({"game.bin"}));
    SetMess(Win(root + "/soft5"));
    reportFor["abc"] = SystemReport("abc", "car tridge", {"bin"});
    script = {0, 0, 0, 0};
    drawsTaken = 0;
    EXPECT_EQ(1, Run());
    reportFor["abc"] = SystemReport("abc", "cart_2", {"bin"});
    script = {0, 0, 0, 0};
    drawsTaken = 0;
    EXPECT_EQ(0, Run());

    // A member name with a double quote.
    Touch(root + "/soft3/abc/set.zip", DirectoryOnlyZip({"a\" -x \"b.bin"}));
    SetMess(Win(root + "/soft3"));
    queries.clear();
    script = {0, 0, 0, 0};
    drawsTaken = 0;
    EXPECT_EQ(1, Run());
    EXPECT_TRUE(queries.empty());

    // A software file with a double quote.
    Touch(root + "/soft4/abc/b\" -x \"c.bin");
    SetMess(Win(root + "/soft4"));
    script = {0, 0, 0};
    drawsTaken = 0;
    EXPECT_EQ(1, Run());
    EXPECT_TRUE(queries.empty());
}

}   // namespace
