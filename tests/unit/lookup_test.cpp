#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/temp_folder.h"
#include "support/test_files.h"
#include "artwork/lookup.h"
#include "base/random.h"
#include "config/settings.h"

using std::string;
using std::vector;

namespace {

// ---- Scripted draws ----------------------------------------------------------

vector<int> scriptedDraws;
size_t drawsTaken = 0;
int constantDraw = -1;   // when >= 0, every draw gives this value

int NextDraw()
{
    if (constantDraw >= 0) {
        drawsTaken++;
        return constantDraw;
    }
    if (drawsTaken >= scriptedDraws.size()) {
        ADD_FAILURE() << "more draws taken than scripted (" << scriptedDraws.size() << ")";
        drawsTaken++;
        return 1;   // a category draw, so a runaway lookup still ends
    }
    return scriptedDraws[drawsTaken++];
}

// Installs a draw script for one lookup; the destructor restores the runtime
// generator and the settings.
struct Draws {
    explicit Draws(vector<int> script, int constant = -1)
    {
        scriptedDraws = std::move(script);
        constantDraw = constant;
        drawsTaken = 0;
        SetRandomSource(NextDraw);
    }
    ~Draws() { SetRandomSource(nullptr); }
};

// ---- Artwork trees -------------------------------------------------------------

// An artwork tree in a scratch folder; every picture holds the same bytes.
class ArtworkTree {
public:
    const string &Root() const { return folder_.path(); }

    // Creates the file (and its folders) at relative path rel ('/' separated).
    void File(const string &rel) { folder_.Write(rel, "picture"); }
    void Folder(const string &rel) { folder_.Folder(rel); }

    // Entry names of a folder in the order the platform lists them.
    vector<string> Listing(const string &rel) const { return FolderEntries(folder_.File(rel)); }

private:
    TempFolder folder_{"quillmere-lookup-"};
};

// The settings are process-wide; every test starts from and leaves them empty.
class PictureLookup : public ::testing::Test {
protected:
    void SetUp() override { ResetSettings(); }
    void TearDown() override { ResetSettings(); }

    void UseMame(const string &base)
    {
        ASSERT_LT(base.size(), sizeof MamePath);
        strcpy(MamePath, base.c_str());
    }
    void UseMess(const string &base)
    {
        ASSERT_LT(base.size(), sizeof MessPath);
        strcpy(MessPath, base.c_str());
    }
};

struct LookupRow {
    const char *what;
    vector<int> draws;
    const char *expectedPath;   // relative to the base, backslashes; nullptr: none found
    int expectedMode;
};

}  // namespace

// ---- Category and snapshot attempts --------------------------------------------

TEST_F(PictureLookup, MameCategoryAndSnapshotAttempts)
{
    ArtworkTree tree;
    tree.File("cabinets/pacman.png");
    tree.File("titles/pacman.png");
    tree.File("pcb/pacman.png");
    tree.File("snap/pacman/0000.png");
    tree.File("cabinets/galaga.png");   // another game's picture is never taken
    UseMame(tree.Root());

    const LookupRow rows[] = {
        {"r=1 row 0: cabinet", {1, 0}, "\\cabinets\\pacman.png", 1},
        {"r=4 row 4: title is stretched", {4, 4}, "\\titles\\pacman.png", 0},
        {"row 11 % 6 = 5: pcb, the last row", {3, 11}, "\\pcb\\pacman.png", 1},
        {"r=0: snapshot, entry draw", {5, 7}, "\\snap\\pacman\\0000.png", 0},
        {"missing cpanel, then flyers missing, then titles",
         {2, 1, 9, 2, 6, 10}, "\\titles\\pacman.png", 0},
        {"missing marquee then snapshot", {1, 3, 0, 0}, "\\snap\\pacman\\0000.png", 0},
    };
    for (const LookupRow &row : rows) {
        SCOPED_TRACE(row.what);
        Draws draws(row.draws);
        char path[kPicturePathBytes] = "untouched";
        int mode = -1;
        ASSERT_EQ(1, GetMAMEPicture(path, "pacman", &mode));
        EXPECT_EQ(tree.Root() + row.expectedPath, string(path));
        EXPECT_EQ(row.expectedMode, mode);
        EXPECT_EQ(row.draws.size(), drawsTaken);
    }
}

TEST_F(PictureLookup, MessCategoryPicturesBelongToTheSystem)
{
    ArtworkTree tree;
    tree.File("titles/nes.png");
    tree.File("flyers/nes.png");
    tree.File("titles/mario.png");   // the software's name is not a category key
    UseMess(tree.Root());

    const LookupRow rows[] = {
        {"titles are artwork in MESS", {1, 4}, "\\titles\\nes.png", 1},
        {"flyers", {2, 8}, "\\flyers\\nes.png", 1},
    };
    for (const char *software : {"mario.nes", "zelda.nes", "pack.zip"}) {
        for (const LookupRow &row : rows) {
            SCOPED_TRACE(string(row.what) + " / " + software);
            Draws draws(row.draws);
            char path[kPicturePathBytes] = "untouched";
            int mode = -1;
            ASSERT_EQ(1, GetMESSPicture(path, "nes", software, &mode));
            EXPECT_EQ(tree.Root() + row.expectedPath, string(path));
            EXPECT_EQ(row.expectedMode, mode);
            EXPECT_EQ(row.draws.size(), drawsTaken);
        }
    }
}

// ---- MESS snapshot names ---------------------------------------------------------

TEST_F(PictureLookup, MessSnapshotNamedAfterTheSoftware)
{
    ArtworkTree tree;
    // Named snapshots, and one odd entry so a random pick would be noticed.
    for (const char *file : {"game.png", "a.b.c.png", "a.nes.png", ".png", "x.png",
                             "sub/dir/game.png", "zzz-random-only.png"})
        tree.File(string("snap/nes/") + file);
    UseMess(tree.Root());

    struct NameRow {
        const char *software;
        const char *expectedFile;   // under snap\nes
    } rows[] = {
        {"game.nes", "game.png"},            // 3-letter extension replaced
        {"game.ab", "game.png"},             // 2-letter
        {"game.a", "game.png"},              // 1-letter
        {"game.", "game.png"},               // trailing dot dropped
        {"a.b.c.nes", "a.b.c.png"},          // cut at the last dot only
        {"a.nes.zip", "a.nes.png"},
        {".nes", ".png"},                    // the dot may be the first character
        {"x.n", "x.png"},
        {"sub/dir/game.nes", "sub/dir/game.png"},   // archive member folders kept
    };
    for (const NameRow &row : rows) {
        SCOPED_TRACE(row.software);
        // One draw: the snapshot attempt; a named file takes no entry draw.
        Draws draws({10});
        char path[kPicturePathBytes] = "";
        int mode = -1;
        ASSERT_EQ(1, GetMESSPicture(path, "nes", row.software, &mode));
        EXPECT_EQ(tree.Root() + "\\snap\\nes\\" + row.expectedFile, string(path));
        EXPECT_EQ(0, mode);
        EXPECT_EQ(1u, drawsTaken);
    }
}

TEST_F(PictureLookup, MessSnapshotWithoutShortExtensionIsARandomEntry)
{
    ArtworkTree tree;
    tree.File("snap/nes/only.png");
    UseMess(tree.Root());
    // A name cut wrongly would look for a file that is not there and take
    // more draws than scripted.

    for (const char *software : {"game.bin4", "game.jpeg", "game", "a.b.long", "dir.x/game",
                                 "game.tgz55"}) {
        SCOPED_TRACE(software);
        Draws draws({0, 3});   // snapshot attempt, then the entry draw
        char path[kPicturePathBytes] = "";
        int mode = -1;
        ASSERT_EQ(1, GetMESSPicture(path, "nes", software, &mode));
        EXPECT_EQ(tree.Root() + "\\snap\\nes\\only.png", string(path));
        EXPECT_EQ(0, mode);
        EXPECT_EQ(2u, drawsTaken);
    }
}

TEST_F(PictureLookup, MessNamedSnapshotMissingFailsTheAttempt)
{
    ArtworkTree tree;
    tree.File("snap/nes/other.png");   // a random pick would find this
    tree.File("cabinets/nes.png");
    UseMess(tree.Root());
    Draws draws({5, 1, 0});   // named snapshot missing, then a cabinet
    char path[kPicturePathBytes] = "";
    int mode = -1;
    ASSERT_EQ(1, GetMESSPicture(path, "nes", "game.nes", &mode));
    EXPECT_EQ(tree.Root() + "\\cabinets\\nes.png", string(path));
    EXPECT_EQ(1, mode);
    EXPECT_EQ(3u, drawsTaken);
}

// ---- Failing lookups ----------------------------------------------------------

TEST_F(PictureLookup, NoArtworkGivesZeroAfterTwentyAttempts)
{
    ArtworkTree tree;
    UseMame(tree.Root());
    UseMess(tree.Root());

    struct FailRow {
        const char *what;
        bool mess;
        const char *software;
        int constant;
        size_t expectedDraws;
        int expectedMode;
    } rows[] = {
        // Category attempts take two draws each; the mode is written first.
        {"MAME, all category attempts (cpanel)", false, "", 1, 40, 1},
        {"MAME, all title attempts", false, "", 4, 40, 0},
        {"MESS, all title attempts", true, "game.nes", 4, 40, 1},
        // Snapshot attempts on a missing folder take one draw each.
        {"MAME, all snapshot attempts", false, "", 0, 20, 0},
        {"MESS, all named snapshot attempts", true, "game.nes", 0, 20, 0},
        {"MESS, all random snapshot attempts", true, "game", 0, 20, 0},
    };
    for (const FailRow &row : rows) {
        SCOPED_TRACE(row.what);
        Draws draws({}, row.constant);
        char path[kPicturePathBytes] = "untouched";
        int mode = -1;
        int found = row.mess ? GetMESSPicture(path, "nes", row.software, &mode)
                             : GetMAMEPicture(path, "pacman", &mode);
        EXPECT_EQ(0, found);
        EXPECT_STREQ("untouched", path);
        EXPECT_EQ(row.expectedMode, mode);
        EXPECT_EQ(row.expectedDraws, drawsTaken);
    }
}

TEST_F(PictureLookup, SubFolderEntriesFailTheirAttempt)
{
    ArtworkTree tree;
    tree.Folder("snap/pacman/older");
    UseMame(tree.Root());
    {
        // Only a sub-folder: every snapshot attempt draws it and fails.
        Draws draws({}, 0);
        char path[kPicturePathBytes] = "untouched";
        int mode = -1;
        EXPECT_EQ(0, GetMAMEPicture(path, "pacman", &mode));
        EXPECT_EQ(40u, drawsTaken);   // attempt draw + entry draw, 20 times
        EXPECT_STREQ("untouched", path);
    }
    tree.File("snap/pacman/shot.png");
    vector<string> listing = tree.Listing("snap/pacman");
    ASSERT_EQ(2u, listing.size());
    int folderAt = listing[0] == "older" ? 0 : 1;
    {
        // First the sub-folder is drawn (fails), then the file.
        Draws draws({0, folderAt, 0, 1 - folderAt});
        char path[kPicturePathBytes] = "";
        int mode = -1;
        ASSERT_EQ(1, GetMAMEPicture(path, "pacman", &mode));
        EXPECT_EQ(tree.Root() + "\\snap\\pacman\\shot.png", string(path));
        EXPECT_EQ(4u, drawsTaken);
    }
}

TEST_F(PictureLookup, EveryEntryOfTheSnapshotFolderCanBeDrawn)
{
    ArtworkTree tree;
    const int count = 7;
    for (int i = 0; i < count; i++)
        tree.File("snap/pacman/shot" + std::to_string(i) + ".png");
    UseMame(tree.Root());
    vector<string> listing = tree.Listing("snap/pacman");
    ASSERT_EQ(static_cast<size_t>(count), listing.size());
    for (int k = 0; k < 3 * count; k++) {
        SCOPED_TRACE(k);
        Draws draws({0, k});
        char path[kPicturePathBytes] = "";
        int mode = -1;
        ASSERT_EQ(1, GetMAMEPicture(path, "pacman", &mode));
        EXPECT_EQ(tree.Root() + "\\snap\\pacman\\" + listing[k % count], string(path));
    }
}

// ---- Paths that do not fit ------------------------------------------------------

TEST_F(PictureLookup, PathTooLongIsAFailedAttempt)
{
    ArtworkTree tree;
    tree.File("cabinets/pacman.png");
    tree.File("snap/pacman/shot.png");
    const string tail = "\\cabinets\\pacman.png";   // what the category path adds
    // Extra slashes keep the folder the same while making its name longer.
    auto baseOfLength = [&](size_t length) {
        string base = tree.Root();
        base.insert(1, length - base.size(), '/');
        return base;
    };
    struct LengthRow {
        size_t pathLength;
        int expected;
    } rows[] = {
        {kPicturePathBytes - 2, 1},
        {kPicturePathBytes - 1, 1},   // 1023 characters and the NUL: fits
        {kPicturePathBytes, 0},
        {kPicturePathBytes + 19, 0},   // the base itself takes 1023 characters
    };
    for (const LengthRow &row : rows) {
        SCOPED_TRACE(row.pathLength);
        ResetSettings();
        string base = baseOfLength(row.pathLength - tail.size());
        UseMame(base);
        Draws draws({}, 6);   // 6 % 5 = 1: category; 6 % 6 = 0: cabinets
        char path[kPicturePathBytes] = "untouched";
        int mode = -1;
        ASSERT_EQ(row.expected, GetMAMEPicture(path, "pacman", &mode));
        if (row.expected)
            EXPECT_EQ(base + tail, string(path));
        else
            EXPECT_STREQ("untouched", path);
        EXPECT_EQ(row.expected ? 2u : 40u, drawsTaken);
    }

    // A snapshot folder whose name fits but whose file path does not.
    ResetSettings();
    string base = baseOfLength(kPicturePathBytes - 1 - strlen("\\snap\\pacman\\shot.png") + 1);
    UseMame(base);
    Draws draws({}, 0);
    char path[kPicturePathBytes] = "untouched";
    int mode = -1;
    EXPECT_EQ(0, GetMAMEPicture(path, "pacman", &mode));
    EXPECT_EQ(40u, drawsTaken);   // the folder was listed each time
    EXPECT_STREQ("untouched", path);
}

TEST_F(PictureLookup, MessSnapshotNameTooLongIsAFailedAttempt)
{
    ArtworkTree tree;
    tree.File("snap/nes/only.png");
    UseMess(tree.Root());
    string software(1100, 'g');
    software += ".nes";
    Draws draws({}, 0);
    char path[kPicturePathBytes] = "untouched";
    int mode = -1;
    EXPECT_EQ(0, GetMESSPicture(path, "nes", software.c_str(), &mode));
    EXPECT_EQ(20u, drawsTaken);
    EXPECT_STREQ("untouched", path);
}
