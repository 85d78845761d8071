// The random choices over real folder trees with scripted draws: the software
// choice (with a stub emulator) and the artwork lookup. One row per case, each
// naming every draw the choice must take.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "artwork/lookup.h"
#include "base/random.h"
#include "config/settings.h"
#include "emulator/choose.h"
#include "emulator/runner.h"
#include "saver/round.h"
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
    return ++taken, 1;
}

vector<string> Split(const string &text, char separator = ' ')
{
    vector<string> words;
    std::istringstream in(text);
    for (string word; std::getline(in, word, separator);)
        words.push_back(word);
    return words;
}

string Win(string path)
{
    for (char &c : path)
        c = c == '/' ? '\\' : c;
    return path;
}

std::map<string, string> reports;   // name -> -listxml report

int StubRunner(char *command, char *output)
{
    const char *name = strstr(command, " -listxml ");   // the first word after it, as the emulator reads it
    auto found = name ? reports.find(Split(name + 10)[0]) : reports.end();
    snprintf(output, kRunnerOutputBytes, "%s", found == reports.end() ? "" : found->second.c_str());
    // -verifyroms over the ROM folder: 0 for a known set, 2 for one whose files are "missing".
    const string verify = string("\"") + MamePath + "\\" + MameExe + "\" -rompath \"" + MameRomsPath;
    if ((name = strstr(command, " -verifyroms ")) && string(command).compare(0, verify.size(), verify) == 0) {
        found = reports.find(name + 13);
        ReportRunExitCode(found == reports.end() ? 5 : found->second.find("\"missing") != string::npos ? 2 : 0);
    }
    return 0;
}

// "game status +flag...": a game's report ("bios" and "device" make it one of
// those; flags +noscreen, +mechanical, +disk, +clone); "system device ext...":
// one device taking the extensions.
string Report(const vector<string> &w)
{
    bool game = w.size() == 2 || w[2][0] == '+';
    auto flag = [&](const char *name) { return std::find(w.begin(), w.end(), name) != w.end(); };
    string kind = game && w[1] == "bios"     ? " isbios=\"yes\""
                  : game && w[1] == "device" ? " isdevice=\"yes\" runnable=\"no\""
                                             : "";
    kind += string(flag("+clone") ? " cloneof=\"par\" romof=\"par\"" : "") +
            (flag("+mechanical") ? " ismechanical=\"yes\"" : "");
    string text = "<!ATTLIST instance name CDATA><mame><machine name=\"" + w[0] + "\"" + kind + ">";
    if (game)
        return text + (flag("+noscreen") ? "" : "<display/>") + (flag("+disk") ? "<disk name=\"hd\"/>" : "") +
               "<driver status=\"" + w[1] + "\"/></machine>";
    text += "<device type=\"cartridge\"><instance name=\"" + w[1] + "\"/>";
    for (size_t i = 2; i < w.size(); i++)
        text += "<extension name=\"" + w[i] + "\"/>";
    return text + "</device>";
}

// "dir/" a folder, "x@" a link to nothing, "f=text" a file holding text, "a.zip+m|n" an archive written by
// Info-ZIP of files so named, "a.zip:m|n" one of only a central directory
// (for names no file system holds; "m|!" counts one entry more than it holds).
void Make(const TempFolder &root, const string &recipe)
{
    size_t mark = recipe.find_first_of(":+@=");
    string path = recipe.substr(0, mark);
    if (mark == string::npos)
        return path.back() == '/' ? root.Folder(path) : (void)root.Write(path, "x");
    if (path.find('/') != string::npos)
        root.Folder(path.substr(0, path.rfind('/')));
    if (recipe[mark] == '=')
        return (void)root.Write(path, recipe.substr(mark + 1));
    if (recipe[mark] == '@')
        return std::filesystem::create_symlink(root.File("nowhere"), root.File(path));
    vector<string> members = Split(recipe.substr(mark + 1), '|');
    if (recipe[mark] == '+') {
        TempFolder staging("zip-");
        string line = "cd '" + staging.path() + "' && zip -q '" + root.File(path) + "'";
        for (const string &member : members)
            line += " '" + (member.back() == '/' ? (staging.Folder(member), member) : (staging.Write(member, "x"), member)) + "'";
        ASSERT_EQ(0, system(line.c_str())) << line;
        return;
    }
    size_t extra = members.back() == "!" ? 1 : 0;
    members.resize(members.size() - extra);
    string directory, end = string("PK\x05\x06", 4) + string(4, '\0');
    for (const string &name : members) {
        directory += string("PK\x01\x02", 4) + string(24, '\0');
        PutWord(directory, name.size());
        directory += string(16, '\0') + name;
    }
    for (size_t count : {members.size() + extra, members.size() + extra})
        PutWord(end, count);
    PutDword(end, directory.size());
    root.Write(path, directory + end + string(6, '\0'));
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
    string settings = "";          // perfect, working, parents, sound=N, list=FILE, catver=FILE
};

const string kMess = R"("E:\Sys\sys.exe" -biospath "E:\Sys\bios" -opt )";

string Game(const string &game)
{
    return "MAME||" + game + R"(|"E:\Arcade\arcade.exe" -opt -rompath "$\r" ")" + game + "\"";
}

const vector<string> kAbc = {"abc dev bin"}, kBin = {"abc bin"};

const Row kRows[] = {
    // Arcade games: the lower-cased ROM entry cut at ".zip" or ".7z", plain
    // names of machines the emulator knows and can run only.
    {"zip in capitals, cut at the first .zip", {"r/Game1.ZIP.old"}, "r", nullptr, {}, {"game1 good"}, {12345}, Game("game1")},
    {"a folder", {"r/game2/"}, "r", nullptr, {}, {"game2 good"}, {0}, Game("game2")},
    {"a 7z set", {"r/Game3.7z"}, "r", nullptr, {}, {"game3 good"}, {0}, Game("game3")},
    {"a BIOS set", {"r/neogeo.zip"}, "r", nullptr, {}, {"neogeo bios"}, {0}, ""},
    {"a device", {"r/qsound.zip"}, "r", nullptr, {}, {"qsound device"}, {0}, ""},
    {"unknown to the emulator", {"r/nosuch.zip"}, "r", nullptr, {}, {}, {0}, ""},
    {"an option in disguise", {"r/-createconfig.zip"}, "r", nullptr, {}, {}, {0}, ""},
    {"a quote", {"r/x\" -script \"y.zip"}, "r", nullptr, {}, {}, {0}, ""},
    {"a folder ending in a backslash, empty option", {"r/pac.zip"}, "r\\", nullptr, {}, {"pac good"}, {0},
     R"(MAME||pac|"E:\Arcade\arcade.exe"  -rompath "$\r\\" "pac")", ""},
    {"command line too long", {"r/pac.zip"}, "r", nullptr, {}, {}, {0}, "", string(1000, 'o')},
    {"ROM folder not set: MESS only", {"r/pac.zip"}, "", "s", {}, {}, {}, ""},
    {"ROM folder missing", {}, "r", "s", {}, {}, {1}, ""},
    {"ROM folder empty", {"r/"}, "r", "s", {}, {}, {1}, ""},
    {"ROM folder is a file", {"r"}, "r", "s", {}, {}, {1}, ""},
    {"MAME off", {"r/pac.zip"}, nullptr, "s", {}, {}, {}, ""},
    {"perfect only: good", {"r/Pac.zip"}, "r", nullptr, {}, {"pac good"}, {0}, Game("pac"), "-opt", "perfect"},
    {"perfect only: preliminary", {"r/pac.zip"}, "r", nullptr, {}, {"pac preliminary"}, {0}, "", "-opt", "perfect"},
    {"perfect only: unknown game", {"r/pac.zip"}, "r", nullptr, {}, {}, {0}, "", "-opt", "perfect"},
    {"files missing, says -verifyroms", {"r/pac.zip"}, "r", nullptr, {}, {"pac missing"}, {0}, ""},
    // ... that show something and start, as the user wants them.
    {"no screen", {"r/fruit.zip"}, "r", nullptr, {}, {"fruit good +noscreen"}, {0}, ""},
    {"mechanical", {"r/reels.zip"}, "r", nullptr, {}, {"reels good +mechanical"}, {0}, ""},
    {"not working", {"r/pac.zip"}, "r", nullptr, {}, {"pac preliminary"}, {0}, ""},
    {"not working, shown when asked", {"r/pac.zip"}, "r", nullptr, {}, {"pac preliminary"}, {0}, Game("pac"), "-opt",
     "working"},
    {"its disk missing", {"r/hdd.zip"}, "r", nullptr, {}, {"hdd good +disk"}, {0}, ""},
    {"its disk in its parent's folder", {"r/hdd.zip", "r/par/hd.chd", "f.ini=hdd"}, "r", nullptr, {}, {"hdd good +disk +clone"},
     {7}, Game("hdd"), "-opt", "list=f.ini"},
    {"a clone, parents only", {"r/pac.zip"}, "r", nullptr, {}, {"pac good +clone"}, {0}, "", "-opt", "parents"},
    {"the one listed game in the folder", {"r/a.zip", "r/Pac.zip", "r/b.zip", "f.ini=[ROOT_FOLDER]\n# a\n;b\n pac\nzz\nb c\n"},
     "r", nullptr, {}, {"a good", "pac good", "b good"}, {12345}, Game("pac"), "-opt", "list=f.ini"},
    {"no listed game in the folder", {"r/a.zip", "f.ini=zz"}, "r", nullptr, {}, {"a good"}, {}, "", "-opt", "list=f.ini"},
    {"a list that cannot be read", {"r/a.zip"}, "r", nullptr, {}, {"a good"}, {}, "", "-opt", "list=f.ini"},
    {"an adult title", {"r/pac.zip", "c.ini=[Category]\npac=Maze / Collect * Mature *\n"}, "r", nullptr, {}, {"pac good"},
     {0}, "", "-opt", "catver=c.ini"},
    {"a skipped category, any letter case", {"r/pac.zip", "c.ini=[Category]\npac=quiz / Japanese\n"}, "r", nullptr, {},
     {"pac good"}, {0}, "", "-opt", "catver=c.ini"},
    {"another category; later sections unread", {"r/pac.zip", "c.ini=[Category]\npac=Maze\n[VerAdded]\npac=Quiz\n"}, "r",
     nullptr, {}, {"pac good"}, {0}, Game("pac"), "-opt", "catver=c.ini"},
    {"quieter", {"r/pac.zip"}, "r", nullptr, {}, {"pac good"}, {0},
     R"(MAME||pac|"E:\Arcade\arcade.exe" -volume -12 -opt -rompath "$\r" "pac")", "-opt", "sound=12"},
    // Systems: an empty list takes the system folder's name in lower case.
    {"empty list", {"s/ABC/x.BIN"}, nullptr, "s", {}, {"abc dev rom bin"}, {9, 9},
     "MESS|abc|x.BIN|" + kMess + R"(abc -dev "$\s\ABC\x.BIN")"},
    {"list name as stored, tree descended", {"s/NES_2/sub/G.nes"}, nullptr, "s", {"NES_2 nes"}, {"NES_2 cart nes"},
     {0, 0, 0}, "MESS|NES_2|G.nes|" + kMess + R"(NES_2 -cart "$\s\NES_2\sub\G.nes")"},
    {"missing system folder draws again", {"s/abc/P.Zip+one.bin|two.bin|three.bin"}, nullptr, "s",
     {"gone bin", "abc bin"}, kAbc, {2, 3, 0, 7}, "MESS|abc|two.bin|" + kMess + R"(abc -dev "$\s\abc\P.Zip\two.bin")"},
    {"member in a folder, no sound", {"s/abc/P.zip+sub/G.bin"}, nullptr, "s", kBin, kAbc, {0, 0, 1},
     R"(MESS|abc|sub/G.bin|"E:\Sys\sys.exe" -biospath "E:\Sys\bios" -sound none -opt abc -dev "$\s\abc\P.zip\sub/G.bin")",
     "-opt", "sound=40"},
    {"member without an extension", {"s/abc/s.zip+readme|sub/"}, nullptr, "s", kBin, kAbc, {0, 0, 0}, ""},
    {"folder member", {"s/abc/s.zip+readme|sub/"}, nullptr, "s", kBin, kAbc, {0, 0, 1}, ""},
    {"archive shorter than its count", {"s/abc/s.zip:a.bin|!"}, nullptr, "s", kBin, kAbc, {0, 0, 1}, ""},
    {"not an archive", {"s/abc/s.zip"}, nullptr, "s", kBin, kAbc, {0, 0}, ""},
    {"empty folder on the way down", {"s/abc/empty/"}, nullptr, "s", {"abc bin", "abc rom"}, {}, {0, 0}, ""},
    {"empty system folder", {"s/abc/"}, nullptr, "s", {"abc bin", "abc rom"}, {}, {1}, ""},
    {"unknown system", {"s/abc/g.xyz"}, nullptr, "s", kBin, {}, {0, 0}, ""},
    {"no device takes the extension", {"s/abc/g.xyz"}, nullptr, "s", kBin, {"abc dev bin rom"}, {0, 0}, ""},
    {"link to nothing", {"s/abc/link.bin@"}, nullptr, "s", kBin, kAbc, {0, 0}, ""},
    {"MESS off", {"s/abc/x.bin"}, "r", nullptr, {}, kAbc, {}, ""},
    {"software folder not set", {"s/abc/x.bin"}, "r", "", {}, kAbc, {}, ""},
    {"new system draws are bounded", {"s/"}, nullptr, "s", {"g1 bin", "g2 bin"}, {}, vector<int>(101, 0), ""},
    {"software root missing, empty list", {}, nullptr, "missing", {}, {}, {}, ""},
    // Names that do not fit are refused, never cut; names that could add
    // options or break the quoting are refused.
    {"system folder of 70 characters", {"s/" + string(70, 's') + "/g.bin"}, nullptr, "s", {},
     {string(70, 's') + " dev bin"}, {0}, ""},
    {"member name beyond 1023 characters", {"s/abc/b.zip:" + string(1100, 'm') + ".bin"}, nullptr, "s", kBin, kAbc,
     {0, 0, 0}, ""},
    {"system folder with a blank", {"s/a -x/g.bin"}, nullptr, "s", {}, {"a dev bin"}, {0, 0}, ""},
    {"device name with a dash", {"s/abc/g.bin"}, nullptr, "s", {}, {"abc cart-2 bin"}, {0, 0}, ""},
    {"device name with an underscore", {"s/abc/g.bin"}, nullptr, "s", {}, {"abc cart_2 bin"}, {0, 0},
     "MESS|abc|g.bin|" + kMess + R"(abc -cart_2 "$\s\abc\g.bin")"},
    {"member with a quote", {"s/abc/s.zip+a\" -x \"b.bin"}, nullptr, "s", {}, kAbc, {0, 0, 0}, ""},
};

TEST(Choose, ScriptedDrawsOverRealTrees)
{
    SetRandomSource(Scripted);
    SetCommandRunner(StubRunner);
    for (const Row &row : kRows) {
        SCOPED_TRACE(row.what);
        TempFolder temp("choose ");
        for (const string &file : row.files)
            Make(temp, file);
        const string root = Win(temp.path());
        ResetSettings();
        // An emulator that is off keeps its folder, so a choice ignoring the
        // missing executable would be seen.
        strcpy(MameRomsPath, row.roms && !*row.roms ? "" : (root + "\\" + (row.roms ? row.roms : "r")).c_str());
        strcpy(MessSoftwarePath, row.software && !*row.software ? "" : (root + "\\" + (row.software ? row.software : "s")).c_str());
        strcpy(MamePath, row.roms ? "E:\\Arcade" : "");
        strcpy(MessPath, row.software ? "E:\\Sys" : "");
        strcpy(MameExe, "arcade.exe");
        strcpy(MessExe, "sys.exe");
        strcpy(MessBiosPath, "E:\\Sys\\bios");
        strcpy(MameOption, row.option.c_str());
        strcpy(MessOption, row.option.c_str());
        for (const string &setting : Split(row.settings)) {
            string value = setting.substr(setting.find('=') + 1);
            MameCheckOnlyPerfect |= setting == "perfect";
            MameShowNotWorking |= setting == "working";
            MameParentsOnly |= setting == "parents";
            SoundVolume = setting.compare(0, 6, "sound=") ? SoundVolume : std::stoi(value);
            strcpy(setting.compare(0, 5, "list=") ? MameGameList + strlen(MameGameList) : MameGameList,
                   setting.compare(0, 5, "list=") ? "" : (root + "\\" + value).c_str());
            strcpy(setting.compare(0, 7, "catver=") ? MameCategoryFile + strlen(MameCategoryFile) : MameCategoryFile,
                   setting.compare(0, 7, "catver=") ? "" : (root + "\\" + value).c_str());
        }
        for (const string &line : row.systems)
            AppendMachineEntry(Split(line)[0].c_str(), Split(line)[1].c_str());
        reports.clear();
        for (const string &line : row.reports)
            reports[Split(line)[0]] = Report(Split(line));
        script = row.draws, taken = 0;
        char machine[kMachineBytes] = "", software[kSoftwareBytes] = "", command[kCommandBytes] = "";
        int result = ChooseSoftware(machine, software, command);
        EXPECT_EQ(row.draws.size(), taken);
        string chosen = row.chosen;
        for (size_t at; (at = chosen.find('$')) != string::npos;)
            chosen.replace(at, 1, root);
        EXPECT_EQ(chosen.empty() ? "refused" : chosen,
                  result ? "refused" : string(MameOrMess ? "MAME|" : "MESS|") + machine + "|" + software + "|" + command);
    }
    SetCommandRunner(nullptr);
    // A folder that shrinks between its two readings gives nothing.
    static TempFolder shrinking("choose ");
    for (const char *name : {"a.zip", "b.zip", "c.zip"})
        shrinking.Write(name, "x");
    SetRandomSource([] {
        for (const char *name : {"a.zip", "b.zip", "c.zip"})
            std::filesystem::remove(shrinking.File(name));
        return 2;
    });
    char name[kEntryNameBytes];
    EXPECT_EQ(0, GetRandomFileInDirectory(shrinking.path().c_str(), name));
    SetRandomSource(nullptr);
    ResetSettings();
    char machine[kMachineBytes], software[kSoftwareBytes], command[kCommandBytes];
    EXPECT_EXIT(ChooseSoftware(machine, software, command), ::testing::ExitedWithCode(1), "") << "neither emulator";
}

// The repeat window: a round looks back over its own kind only; an arcade
// game over one round fewer than the ROM folder's entries, at most 20.
TEST(Choose, RepeatWindowOfArcadeAndMessRounds)
{
    const string a = "MAME\ta", b = "MAME\tb", c = "MAME\tc", s = "MESS\tnes\tx.nes", t = "MESS\tnes\ty.nes";
    auto after = [](vector<string> earlier, int n, const string &other) {   // n rounds of other, newest first
        return earlier.insert(earlier.begin(), n, other), earlier;
    };
    const std::tuple<const char *, vector<string>, string, int, bool> rows[] = {   // recent, key, ROM entries
        {"three-game folder: the latest two", {c, b, a}, b, 3, true},
        {"three-game folder: the third latest comes again", {c, b, a}, a, 3, false},
        {"large folder: the 20th latest", after({a}, 19, b), a, 500, true},
        {"large folder: the 21st latest", after({a}, 20, b), a, 500, false},
        {"MESS after 20 arcade rounds, without a ROM folder", after({s}, 20, a), s, 0, true},
        {"MESS: the 20th latest MESS round", after({s}, 19, t), s, 0, true},
        {"MESS: the 21st", after({s}, 20, t), s, 0, false}};
    for (const auto &[what, recent, key, romEntries, repeat] : rows)
        EXPECT_EQ(repeat, InRepeatWindow(recent, key, romEntries)) << what;
}

struct Lookup {
    const char *what;
    vector<string> files;   // under the artwork folder; "dir/" a folder
    const char *system;     // null: MAME
    string name;            // the game, or the system's software
    vector<int> draws;
    string found;           // "path-under-the-folder mode", or "none mode"
};

const vector<string> kMameArt = {"cabinets/pacman.png", "titles/pacman.png", "pcb/pacman.png", "snap/pacman/0000.png",
                                 "cabinets/galaga.png"};
const vector<string> kMessArt = {"titles/nes.png", "flyers/nes.png", "titles/mario.png", "snap/nes/game.png",
                                 "snap/nes/a.b.c.png", "snap/nes/sub/dir/g.png"};
const vector<string> kOnly = {"snap/nes/only.png"};

const Lookup kLookups[] = {
    // A draw % 5 of 0 tries a snapshot; else the next draw % 6 picks the category.
    {"cabinet", kMameArt, nullptr, "pacman", {1, 0}, "cabinets\\pacman.png 1"},
    {"MAME stretches titles", kMameArt, nullptr, "pacman", {4, 4}, "titles\\pacman.png 0"},
    {"pcb, the last row", kMameArt, nullptr, "pacman", {3, 11}, "pcb\\pacman.png 1"},
    {"snapshot", kMameArt, nullptr, "pacman", {5, 7}, "snap\\pacman\\0000.png 0"},
    {"missing cpanel and flyers, then titles", kMameArt, nullptr, "pacman", {2, 1, 9, 2, 6, 10}, "titles\\pacman.png 0"},
    {"missing marquee, then a snapshot", kMameArt, nullptr, "pacman", {1, 3, 0, 0}, "snap\\pacman\\0000.png 0"},
    {"MESS shows titles as artwork", kMessArt, "nes", "mario.nes", {1, 4}, "titles\\nes.png 1"},
    {"the system's flyer", kMessArt, "nes", "pack.zip", {2, 8}, "flyers\\nes.png 1"},
    // A MESS snapshot is named after the software less an extension of at most three letters.
    {"3-letter extension", kMessArt, "nes", "game.nes", {10}, "snap\\nes\\game.png 0"},
    {"cut at the last dot", kMessArt, "nes", "a.b.c.zip", {10}, "snap\\nes\\a.b.c.png 0"},
    {"member folders kept", kMessArt, "nes", "sub/dir/g.nes", {10}, "snap\\nes\\sub/dir/g.png 0"},
    {"named snapshot missing, then a flyer", kMessArt, "nes", "zelda.nes", {5, 2, 2}, "flyers\\nes.png 1"},
    {"4-letter extension: a random entry", kOnly, "nes", "game.bin4", {0, 3}, "snap\\nes\\only.png 0"},
    // Twenty failed attempts: nothing, the path untouched, the last attempt's mode.
    {"no category picture", {}, nullptr, "pacman", vector<int>(40, 1), "none 1"},
    {"no MAME title", {}, nullptr, "pacman", vector<int>(40, 4), "none 0"},
    {"no snapshot folder", {}, nullptr, "pacman", vector<int>(20, 0), "none 0"},
    {"no named snapshot", kOnly, "nes", "game.nes", vector<int>(20, 0), "none 0"},
    {"sub-folders are no pictures", {"snap/pacman/older/"}, nullptr, "pacman", vector<int>(40, 0), "none 0"},
    {"snapshot name beyond 1023 characters", kOnly, "nes", string(1100, 'g') + ".nes", vector<int>(20, 0), "none 0"},
};

string Look(const string &base, const Lookup &row)
{
    ResetSettings();
    strcpy(row.system ? MessPath : MamePath, base.c_str());
    script = row.draws, taken = 0;
    char path[kPicturePathBytes] = "none";
    int mode = -1;
    row.system ? GetMESSPicture(path, row.system, row.name.c_str(), &mode) : GetMAMEPicture(path, row.name.c_str(), &mode);
    EXPECT_EQ(row.draws.size(), taken);
    return path + (" " + std::to_string(mode));
}

TEST(PictureLookup, ScriptedDrawsOverRealTrees)
{
    SetRandomSource(Scripted);
    for (const Lookup &row : kLookups) {
        SCOPED_TRACE(row.what);
        TempFolder art("artwork ");
        for (const string &file : row.files)
            Make(art, file);
        EXPECT_EQ((row.found.compare(0, 4, "none") ? Win(art.path()) + "\\" : "") + row.found, Look(Win(art.path()), row));
    }
    SetRandomSource(nullptr);
}

}   // namespace
