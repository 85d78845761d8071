// The software choice over real folder trees, with scripted draws and a stub
// emulator: one row per case, each naming every draw the choice must take.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/random.h"
#include "config/settings.h"
#include "emulator/choose.h"
#include "emulator/runner.h"
#include "support/bytes.h"
#include "support/temp_folder.h"
#include "support/test_files.h"

using std::string;
using std::vector;

namespace {

vector<int> script;
size_t taken = 0;

int Scripted()
{
    if (taken < script.size())
        return script[taken++];
    ADD_FAILURE() << "more draws than scripted";
    return ++taken, 0;
}

vector<string> Split(const string &text, char separator)
{
    vector<string> words;
    std::istringstream in(text);
    for (string word; std::getline(in, word, separator);)
        words.push_back(word);
    return words;
}

std::map<string, string> reports;   // name -> -listxml report

int StubRunner(char *command, char *output)
{
    // The first word after -listxml, as the emulator would read it.
    const char *name = strstr(command, " -listxml ");
    auto found = name ? reports.find(Split(name + 10, ' ')[0]) : reports.end();
    snprintf(output, kRunnerOutputBytes, "%s", found == reports.end() ? "" : found->second.c_str());
    return 0;
}

// "game status" gives a game's report, "system device ext..." a system whose
// one device takes the extensions.
string Report(const string &spec)
{
    vector<string> w = Split(spec, ' ');
    string text = "<!ATTLIST instance name CDATA><mame><machine name=\"" + w[0] + "\">";
    if (w.size() == 2)
        return text + "<driver status=\"" + w[1] + "\"/></machine></mame>";
    text += "<device type=\"cartridge\"><instance name=\"" + w[1] + "\"/>";
    for (size_t i = 2; i < w.size(); i++)
        text += "<extension name=\"" + w[i] + "\"/>";
    return text + "</device></machine></mame>";
}

// A zip archive of only a central directory, for names no file system holds;
// a member "!" makes the end record count one entry more than it holds.
string DirectoryOnlyZip(vector<string> names)
{
    int extra = names.back() == "!" ? 1 : 0;
    names.resize(names.size() - extra);
    string directory;
    for (const string &name : names) {
        directory += string("PK\x01\x02", 4) + string(24, '\0');
        PutWord(directory, name.size());
        directory += string(16, '\0') + name;
    }
    string out = directory + string("PK\x05\x06", 4) + string(4, '\0');
    PutWord(out, names.size() + extra);
    PutWord(out, names.size() + extra);
    PutDword(out, directory.size());
    PutDword(out, 0);
    PutWord(out, 0);
    return out;
}

// "dir/" a folder, "x@" a link to nothing, "a.zip:m|n" a directory-only
// archive, "a.zip+m|n" an archive written by Info-ZIP; else a file.
void Make(const TempFolder &root, const string &spec)
{
    size_t mark = spec.find_first_of(":+@");
    string path = spec.substr(0, mark);
    if (mark == string::npos)
        return path.back() == '/' ? root.Folder(path) : (void)root.Write(path, "x");
    root.Folder(path.substr(0, path.rfind('/')));
    if (spec[mark] == '@')
        return std::filesystem::create_symlink(root.File("nowhere"), root.File(path));
    vector<string> members = Split(spec.substr(mark + 1), '|');
    if (spec[mark] == ':')
        return (void)root.Write(path, DirectoryOnlyZip(members));
    TempFolder staging("zip-");
    string line = "cd '" + staging.path() + "' && zip -q -D '" + root.File(path) + "'";
    for (const string &member : members)
        line += " '" + staging.Write(member, member).substr(staging.path().size() + 1) + "'";
    ASSERT_EQ(0, system(line.c_str())) << line;
}

string Win(string path)
{
    for (char &c : path)
        c = c == '/' ? '\\' : c;
    return path;
}

struct Row {
    const char *what;
    vector<string> files;
    const char *roms, *software;   // under the root; null: that emulator is off
    vector<string> systems;        // the allowed-systems list, "name ext"
    vector<string> reports;
    vector<int> draws;             // every draw, in order
    string chosen;                 // "kind|machine|software|command", $ the root; "": refused
    string option = "-opt";
    int perfect = 0;
};

const string kMame = R"(MAME||%|"E:\Arcade\arcade.exe" -opt -rompath "$\roms" "%")";
const string kMess = R"("E:\Sys\sys.exe" -biospath "E:\Sys\bios" -opt )";

// The MAME line for game %.
string Game(const string &game)
{
    string line = kMame;
    for (size_t at; (at = line.find('%')) != string::npos;)
        line.replace(at, 1, game);
    return line;
}

vector<Row> Rows()
{
    string deep = "soft/abc";
    for (int level = 0; level < 11; level++)
        deep += "/" + string(200, 'd');
    const vector<string> abcBin = {"abc dev bin"};
    return {
        // Arcade games: the lower-cased ROM entry cut at ".zip", plain names only.
        {"zip in capitals", {"roms/Game1.ZIP"}, "roms", nullptr, {}, {}, {1, 12345}, Game("game1")},
        {"cut at the first .zip", {"roms/a.zip.old"}, "roms", nullptr, {}, {}, {1, 0}, Game("a")},
        {"a folder", {"roms/game2/"}, "roms", nullptr, {}, {}, {1, 0}, Game("game2")},
        {"zipzip", {"roms/PAC.zipzip"}, "roms", nullptr, {}, {}, {1, 0}, Game("pac")},
        {"option in disguise", {"roms/-createconfig.zip"}, "roms", nullptr, {}, {}, {1, 0}, ""},
        {"a dot", {"roms/game3.7z"}, "roms", nullptr, {}, {}, {1, 0}, ""},
        {"a blank", {"roms/two words.zip"}, "roms", nullptr, {}, {}, {1, 0}, ""},
        {"a quote", {"roms/x\" -script \"y.zip"}, "roms", nullptr, {}, {}, {1, 0}, ""},
        {"folder ending in a backslash, empty option", {"roms/pacman.zip"}, "roms\\", nullptr, {},
         {}, {3, 0}, R"(MAME||pacman|"E:\Arcade\arcade.exe"  -rompath "$\roms\\" "pacman")", ""},
        {"command line too long", {"roms/pacman.zip"}, "roms", nullptr, {}, {}, {1, 0}, "",
         string(1000, 'o')},
        {"ROM folder not set", {"roms/pacman.zip"}, "", "soft", {}, {}, {1}, ""},
        {"ROM folder missing", {}, "roms", "soft", {}, {}, {1}, ""},
        {"ROM folder empty", {"roms/"}, "roms", "soft", {}, {}, {1}, ""},
        {"ROM folder is a file", {"roms"}, "roms", "soft", {}, {}, {1}, ""},
        {"MAME off", {"roms/pacman.zip"}, nullptr, "soft", {}, {}, {1}, ""},
        {"perfect only: good", {"roms/Pacman.zip"}, "roms", nullptr, {}, {"pacman good"}, {1, 0},
         Game("pacman"), "-opt", 1},
        {"perfect only: preliminary", {"roms/pacman.zip"}, "roms", nullptr, {},
         {"pacman preliminary"}, {1, 0}, "", "-opt", 1},
        {"perfect only: imperfect", {"roms/pacman.zip"}, "roms", nullptr, {}, {"pacman imperfect"},
         {1, 0}, "", "-opt", 1},
        {"perfect only: unknown game", {"roms/pacman.zip"}, "roms", nullptr, {}, {}, {1, 0}, "",
         "-opt", 1},
        // Systems: an empty list takes the system folder's name in lower case.
        {"empty list", {"soft/ABC/x.BIN"}, nullptr, "soft", {}, {"abc dev rom bin"}, {0, 9, 9},
         "MESS|abc|x.BIN|" + kMess + R"(abc -dev "$\soft\ABC\x.BIN")"},
        {"list name as stored, tree descended", {"soft/NES_2/sub/Game.nes"}, nullptr, "soft",
         {"NES_2 nes"}, {"NES_2 cart nes"}, {2, 0, 0, 0},
         "MESS|NES_2|Game.nes|" + kMess + R"(NES_2 -cart "$\soft\NES_2\sub\Game.nes")"},
        {"missing system folder draws again", {"soft/abc/Pack.Zip:one.bin|two.bin|three.bin"},
         nullptr, "soft", {"gone bin", "abc bin"}, abcBin, {4, 2, 3, 0, 7},
         "MESS|abc|two.bin|" + kMess + R"(abc -dev "$\soft\abc\Pack.Zip\two.bin")"},
        {"member of an Info-ZIP archive", {"soft/abc/Pack.zip+sub/Game.bin"}, nullptr, "soft",
         {"abc bin"}, abcBin, {0, 0, 0, 0},
         "MESS|abc|sub/Game.bin|" + kMess + R"(abc -dev "$\soft\abc\Pack.zip\sub/Game.bin")"},
        {"member without an extension", {"soft/abc/s.zip:readme|sub/|ok.bin"}, nullptr, "soft",
         {"abc bin"}, abcBin, {0, 0, 0, 0}, ""},
        {"folder member", {"soft/abc/s.zip:readme|sub/|ok.bin"}, nullptr, "soft", {"abc bin"},
         abcBin, {0, 0, 0, 1}, ""},
        {"archive shorter than its count", {"soft/abc/s.zip:only.bin|!"}, nullptr, "soft",
         {"abc bin"}, abcBin, {0, 0, 0, 1}, ""},
        {"not an archive", {"soft/abc/s.zip"}, nullptr, "soft", {"abc bin"}, abcBin, {0, 0, 0}, ""},
        {"empty folder on the way down", {"soft/abc/empty/"}, nullptr, "soft",
         {"abc bin", "abc rom"}, {}, {0, 0, 0}, ""},
        {"empty system folder", {"soft/abc/"}, nullptr, "soft", {"abc bin", "abc rom"}, {},
         {0, 1}, ""},
        {"unknown system", {"soft/abc/game.xyz"}, nullptr, "soft", {"abc bin"}, {}, {0, 0, 0}, ""},
        {"no device takes the extension", {"soft/abc/game.xyz"}, nullptr, "soft", {"abc bin"},
         {"abc dev bin rom"}, {0, 0, 0}, ""},
        {"link to nothing", {"soft/abc/link.bin@"}, nullptr, "soft", {"abc bin"}, abcBin,
         {0, 0, 0}, ""},
        {"MESS off", {"soft/abc/x.bin"}, "roms", nullptr, {}, abcBin, {0}, ""},
        {"software folder not set", {"soft/abc/x.bin"}, "roms", "", {}, abcBin, {0}, ""},
        {"new system draws are bounded", {"soft/"}, nullptr, "soft",
         {"gone1 bin", "gone2 bin", "gone3 bin"}, {}, vector<int>(2 + kMaxNewMachineDraws, 0), ""},
        {"software root missing, empty list", {}, nullptr, "missing", {}, {}, {0}, ""},
        // Texts that do not fit are refused, never cut.
        {"system name of 70 characters", {"soft/" + string(70, 's') + "/game.bin"}, nullptr,
         "soft", {}, {string(70, 's') + " dev bin"}, {0, 0}, ""},
        {"working path beyond 2047 characters", {deep + "/game.bin"}, nullptr, "soft", {"abc bin"},
         abcBin, vector<int>(13, 0), ""},
        {"member name beyond 1023 characters", {"soft/abc/b.zip:" + string(1100, 'm') + ".bin"},
         nullptr, "soft", {"abc bin"}, abcBin, {0, 0, 0, 0}, ""},
        // Names that could add options or break the quoting.
        {"system folder with a blank", {"soft/a -x/game.bin"}, nullptr, "soft", {}, {"a dev bin"},
         {0, 0, 0}, ""},
        {"device name with a dash", {"soft/abc/g.bin"}, nullptr, "soft", {}, {"abc cart-2 bin"},
         {0, 0, 0}, ""},
        {"device name with an underscore", {"soft/abc/g.bin"}, nullptr, "soft", {},
         {"abc cart_2 bin"}, {0, 0, 0}, "MESS|abc|g.bin|" + kMess + R"(abc -cart_2 "$\soft\abc\g.bin")"},
        {"member's device with a dash", {"soft/abc/s.zip:g.bin"}, nullptr, "soft", {},
         {"abc cart-2 bin"}, {0, 0, 0, 0}, ""},
        {"member with a quote", {"soft/abc/s.zip:a\" -x \"b.bin"}, nullptr, "soft", {}, abcBin,
         {0, 0, 0, 0}, ""},
        {"file with a quote", {"soft/abc/b\" -x \"c.bin"}, nullptr, "soft", {}, abcBin, {0, 0, 0},
         ""},
    };
}

TEST(Choose, ScriptedDrawsOverRealTrees)
{
    SetRandomSource(Scripted);
    SetCommandRunner(StubRunner);
    for (const Row &row : Rows()) {
        SCOPED_TRACE(row.what);
        TempFolder temp("choose ");
        for (const string &file : row.files)
            Make(temp, file);
        const string root = Win(temp.path());
        ResetSettings();
        // An emulator that is off keeps its folder setting, so that a choice
        // ignoring the missing executable would be seen.
        strcpy(MameRomsPath, row.roms && !*row.roms ? "" : (root + "\\" + (row.roms ? row.roms : "roms")).c_str());
        strcpy(MessSoftwarePath, row.software && !*row.software ? "" : (root + "\\" + (row.software ? row.software : "soft")).c_str());
        strcpy(MamePath, row.roms ? "E:\\Arcade" : "");
        strcpy(MameExe, "arcade.exe");
        strcpy(MameOption, row.option.c_str());
        strcpy(MessPath, row.software ? "E:\\Sys" : "");
        strcpy(MessExe, "sys.exe");
        strcpy(MessBiosPath, "E:\\Sys\\bios");
        strcpy(MessOption, row.option.c_str());
        MameCheckOnlyPerfect = row.perfect;
        for (const string &line : row.systems)
            AppendMachineEntry(Split(line, ' ')[0].c_str(), Split(line, ' ')[1].c_str());
        reports.clear();
        for (const string &spec : row.reports)
            reports[Split(spec, ' ')[0]] = Report(spec);
        script = row.draws;
        taken = 0;
        char machine[kMachineBytes] = "", software[kSoftwareBytes] = "", command[kCommandBytes] = "";
        int result = ChooseSoftware(machine, software, command);
        EXPECT_EQ(row.draws.size(), taken);
        string chosen = row.chosen;
        for (size_t at; (at = chosen.find('$')) != string::npos;)
            chosen.replace(at, 1, root);
        EXPECT_EQ(chosen.empty() ? 1 : 0, result);
        if (result == 0) {
            EXPECT_EQ(chosen, string(MameOrMess ? "MAME" : "MESS") + "|" + machine + "|" + software +
                                  "|" + command);
        }
    }
    SetRandomSource(nullptr);
    SetCommandRunner(nullptr);
    ResetSettings();
}

TEST(Choose, EveryEntryOfAFolderCanBeDrawnAndNothingCostsNoDraw)
{
    TempFolder temp("choose ");
    for (const char *name : {"x", "y", "z"})
        temp.Write(string("three/") + name, "x");
    temp.Folder("empty");
    SetRandomSource(Scripted);
    char name[kEntryNameBytes];
    script = {};
    taken = 0;
    for (const char *folder : {"three/x", "missing", "empty"})
        EXPECT_EQ(0, GetRandomFileInDirectory(Win(temp.File(folder)).c_str(), name)) << folder;
    const vector<string> listed = FolderEntries(temp.File("three"));
    std::set<string> drawn;
    for (int draw : {0, 1, 2, 3, 4, 32767}) {
        script = {draw};
        taken = 0;
        ASSERT_EQ(1, GetRandomFileInDirectory(Win(temp.File("three")).c_str(), name));
        EXPECT_EQ(listed[draw % 3], name) << draw;
        drawn.insert(name);
    }
    EXPECT_EQ(3u, drawn.size());
    SetRandomSource(nullptr);
}

TEST(Choose, NeitherEmulatorEndsTheProcess)
{
    ResetSettings();
    char machine[kMachineBytes], software[kSoftwareBytes], command[kCommandBytes];
    EXPECT_EXIT(ChooseSoftware(machine, software, command), ::testing::ExitedWithCode(1), "");
}

}   // namespace
