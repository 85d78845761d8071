// The artwork lookup over real folder trees with scripted draws: one row per
// case, each naming every draw the lookup must take.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "artwork/lookup.h"
#include "base/random.h"
#include "config/settings.h"
#include "support/temp_folder.h"

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

struct Row {
    const char *what;
    vector<string> files;   // under the artwork folder; "dir/" a folder
    const char *system;     // null: MAME
    string name;            // the game, or the system's software
    vector<int> draws;
    const char *found;      // the path under the artwork folder, or null: nothing found
    int mode;               // the mode afterwards, found or not
};

const vector<string> kMameArt = {"cabinets/pacman.png", "titles/pacman.png", "pcb/pacman.png",
                                 "snap/pacman/0000.png", "cabinets/galaga.png"};
const vector<string> kMessArt = {"titles/nes.png", "flyers/nes.png", "titles/mario.png",
                                 "snap/nes/game.png", "snap/nes/a.b.c.png", "snap/nes/a.nes.png",
                                 "snap/nes/.png", "snap/nes/x.png", "snap/nes/sub/dir/game.png"};

const Row kRows[] = {
    // A draw % 5 of 0 tries a snapshot; else the next draw % 6 picks the category.
    {"cabinet", kMameArt, nullptr, "pacman", {1, 0}, "cabinets\\pacman.png", 1},
    {"MAME stretches titles", kMameArt, nullptr, "pacman", {4, 4}, "titles\\pacman.png", 0},
    {"pcb, the last row", kMameArt, nullptr, "pacman", {3, 11}, "pcb\\pacman.png", 1},
    {"snapshot", kMameArt, nullptr, "pacman", {5, 7}, "snap\\pacman\\0000.png", 0},
    {"missing cpanel and flyers, then titles", kMameArt, nullptr, "pacman", {2, 1, 9, 2, 6, 10},
     "titles\\pacman.png", 0},
    {"missing marquee, then a snapshot", kMameArt, nullptr, "pacman", {1, 3, 0, 0},
     "snap\\pacman\\0000.png", 0},
    {"MESS shows titles as artwork", kMessArt, "nes", "mario.nes", {1, 4}, "titles\\nes.png", 1},
    {"system's flyer, whatever the software", kMessArt, "nes", "pack.zip", {2, 8},
     "flyers\\nes.png", 1},
    // A MESS snapshot is named after the software less a short extension.
    {"3-letter extension", kMessArt, "nes", "game.nes", {10}, "snap\\nes\\game.png", 0},
    {"1-letter extension", kMessArt, "nes", "game.a", {10}, "snap\\nes\\game.png", 0},
    {"trailing dot", kMessArt, "nes", "game.", {10}, "snap\\nes\\game.png", 0},
    {"cut at the last dot", kMessArt, "nes", "a.b.c.nes", {10}, "snap\\nes\\a.b.c.png", 0},
    {"archive extension", kMessArt, "nes", "a.nes.zip", {10}, "snap\\nes\\a.nes.png", 0},
    {"dot first", kMessArt, "nes", ".nes", {10}, "snap\\nes\\.png", 0},
    {"member folders kept", kMessArt, "nes", "sub/dir/game.nes", {10},
     "snap\\nes\\sub/dir/game.png", 0},
    {"named snapshot missing, then a flyer", kMessArt, "nes", "zelda.nes", {5, 2, 2},
     "flyers\\nes.png", 1},
    // Without a short extension: a random entry of the system's snapshots.
    {"4-letter extension", {"snap/nes/only.png"}, "nes", "game.bin4", {0, 3}, "snap\\nes\\only.png", 0},
    {"no extension", {"snap/nes/only.png"}, "nes", "game", {0, 3}, "snap\\nes\\only.png", 0},
    {"dot in a folder", {"snap/nes/only.png"}, "nes", "dir.x/game", {0, 3}, "snap\\nes\\only.png", 0},
    // Twenty failed attempts: nothing, the path untouched.
    {"no category picture", {}, nullptr, "pacman", vector<int>(40, 1), nullptr, 1},
    {"no MAME title", {}, nullptr, "pacman", vector<int>(40, 4), nullptr, 0},
    {"no MESS title", {}, "nes", "game.nes", vector<int>(40, 4), nullptr, 1},
    {"no snapshot folder", {}, nullptr, "pacman", vector<int>(20, 0), nullptr, 0},
    {"no named snapshot", {}, "nes", "game.nes", vector<int>(20, 0), nullptr, 0},
    {"no random snapshot", {}, "nes", "game", vector<int>(20, 0), nullptr, 0},
    {"sub-folders are no pictures", {"snap/pacman/older/"}, nullptr, "pacman",
     vector<int>(40, 0), nullptr, 0},
    {"snapshot name beyond 1023 characters", {"snap/nes/only.png"}, "nes",
     string(1100, 'g') + ".nes", vector<int>(20, 0), nullptr, 0},
};

string Win(string path)
{
    for (char &c : path)
        c = c == '/' ? '\\' : c;
    return path;
}

// One lookup in base (a Windows path); "" when nothing was found.
string Lookup(const string &base, const Row &row, int *mode)
{
    ResetSettings();
    strcpy(row.system ? MessPath : MamePath, base.c_str());
    script = row.draws;
    taken = 0;
    char path[kPicturePathBytes] = "untouched";
    int found = row.system ? GetMESSPicture(path, row.system, row.name.c_str(), mode)
                           : GetMAMEPicture(path, row.name.c_str(), mode);
    EXPECT_EQ(row.draws.size(), taken);
    EXPECT_EQ(found, strcmp(path, "untouched") != 0) << path;
    return found ? path : "";
}

TEST(PictureLookup, ScriptedDrawsOverRealTrees)
{
    SetRandomSource(Scripted);
    for (const Row &row : kRows) {
        SCOPED_TRACE(row.what);
        TempFolder art("artwork ");
        for (const string &file : row.files)
            file.back() == '/' ? art.Folder(file) : (void)art.Write(file, "picture");
        int mode = -1;
        string found = Lookup(Win(art.path()), row, &mode);
        EXPECT_EQ(row.found ? Win(art.path()) + "\\" + row.found : "", found);
        EXPECT_EQ(row.mode, mode);
    }
    SetRandomSource(nullptr);
    ResetSettings();
}

TEST(PictureLookup, PathOfMoreThan1023CharactersIsAFailedAttempt)
{
    TempFolder art("artwork ");
    art.Write("cabinets/pacman.png", "picture");
    art.Write("snap/pacman/shot.png", "picture");
    SetRandomSource(Scripted);
    // Slashes added to the folder's name leave the folder the same.
    for (size_t length : {1022u, 1023u, 1024u, 1043u}) {
        SCOPED_TRACE(length);
        string base = art.path();
        base.insert(1, length - base.size() - strlen("/cabinets/pacman.png"), '/');
        // Draw 6: a category attempt (6 % 5), the cabinet (6 % 6).
        Row row = {"", {}, nullptr, "pacman", vector<int>(length < 1024 ? 2 : 40, 6), nullptr, 1};
        int mode = -1;
        EXPECT_EQ(length < 1024 ? Win(base) + "\\cabinets\\pacman.png" : "", Lookup(Win(base), row, &mode));
    }
    // A snapshot folder whose name fits, its file's path does not.
    string base = art.path();
    base.insert(1, 1024 - base.size() - strlen("/snap/pacman/shot.png"), '/');
    Row row = {"", {}, nullptr, "pacman", vector<int>(40, 0), nullptr, 0};
    int mode = -1;
    EXPECT_EQ("", Lookup(Win(base), row, &mode));
    SetRandomSource(nullptr);
    ResetSettings();
}

}   // namespace
