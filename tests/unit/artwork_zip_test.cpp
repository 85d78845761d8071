// Pictures inside zip archives written by Info-ZIP zip, and the lookup's
// fixed sources.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/temp_folder.h"
#include "support/test_files.h"
#include "artwork/lookup.h"
#include "artwork/png.h"
#include "artwork/zipmember.h"
#include "base/random.h"
#include "config/settings.h"

using std::string;

namespace {

const string kSuite = "/var/cache/quillmere/libpng-src/contrib/pngsuite";

void Zip(const string &folder, const string &arguments)
{
    bool ok = false;
    CommandOutput("cd '" + folder + "' && timeout 60 zip -q " + arguments, &ok);
    ASSERT_TRUE(ok) << arguments;
}

string Decoded(const string &path)   // the RGB rows; empty when it does not decode
{
    RgbPicture picture;
    string rgb;
    if (DecodePNGFile(path.c_str(), &picture))
        for (int y = 0; y < picture.height; y++)
            rgb.append(reinterpret_cast<char *>(picture.rows[y]), picture.width * 3u);
    FreeRgbPicture(&picture);   // an emptied picture is accepted
    return rgb;
}

}  // namespace

TEST(ArtworkZip, StoredAndDeflatedMembersDecodeAndDamagedOnesGiveNoPicture)
{
    TempFolder temp;
    const string picture = Decoded(kSuite + "/basn6a16.png");
    ASSERT_FALSE(picture.empty());
    for (const char *method : {"0", "9"}) {
        const string name = string(method) + ".zip";
        Zip(temp.path(), "-j -" + name.substr(0, 1) + " " + name + " " + kSuite + "/basn6a16.png");
        const string good = ReadWhole(temp.File(name));
        const size_t central = good.find("PK\x01\x02");
        ASSERT_EQ(*method == '0' ? 0 : 8, good[central + 10]);   // stored or deflated
        using R = ZipMemberResult;
        struct Row { const char *what; size_t at; uint32_t value; int bytes; R expected; };
        const Row rows[] = {
            {"intact", 0, 'P', 1, R::Read},
            {"CRC mismatch", central + 16, 0x12345678, 4, R::Corrupt},
            {"data cut short", central + 20, 100, 4, R::Corrupt},
            {"64 MiB: under the cap, beyond the data", central + 24, 64 << 20, 4, R::Corrupt},
            {"64 MiB + 1 unpacked: refused", central + 24, (64 << 20) + 1, 4, R::Unsupported},
            {"ZIP64 marker", central + 20, 0xFFFFFFFF, 4, R::Unsupported},
            {"encrypted", central + 8, 1, 1, R::Unsupported},
            {"bzip2", central + 10, 12, 1, R::Unsupported},
        };
        for (const Row &row : rows) {
            SCOPED_TRACE(string(method) + " " + row.what);
            string bytes = good;
            for (int i = 0; i < row.bytes; i++)
                bytes[row.at + i] = static_cast<char>(row.value >> (8 * i));
            const string archive = temp.Write("b.Zip", bytes);
            unsigned char *data = nullptr;
            uint32_t size = 0;
            EXPECT_EQ(row.expected, ReadZipMember(archive.c_str(), "basn6a16.png", &data, &size));
            free(data);
            EXPECT_EQ(row.expected == R::Read ? picture : "", Decoded(archive + "\\basn6a16.png"));
        }
    }
}

TEST(ArtworkZip, LookupFallsBackToFlatSnapshotsArchivesAndTheParent)
{
    TempFolder temp;
    temp.Write("snap/pacman.png", "flat");
    for (const char *name : {"pacman", "galaga", "puckman"})
        temp.Write(string("m/") + name + ".png", name);
    Zip(temp.File("m"), "../titles.zip galaga.png pacman.png");
    Zip(temp.File("m"), "-0 ../cabinets.zip puckman.png galaga.png");
    ResetSettings();
    strcpy(MamePath, temp.path().c_str());   // a scratch path is far below 1024 bytes
    strcpy(MessPath, MamePath);
    SetRandomSource([] { return 1; });   // every random attempt: a cpanel picture, never there
    // expected: under the base folder; null for none (the mode then stays the last attempt's).
    struct Row { bool mess; const char *key, *parent, *expected; int mode; } rows[] = {
        {false, "pacman", "", "\\snap\\pacman.png", 0},   // flat snapshot before any archive
        {false, "galaga", "", "\\titles.zip\\galaga.png", 0},   // titles before cabinets
        {true, "galaga", "", "\\titles.zip\\galaga.png", 1},    // titles are artwork for MESS
        {false, "pacmanf", "puckman", "\\cabinets.zip\\puckman.png", 1},   // clone to parent
        {false, "galaga", "puckman", "\\titles.zip\\galaga.png", 0},   // its own first
        {false, "pacmanf", "", nullptr, 1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(string(row.key) + " " + row.parent);
        char path[kPicturePathBytes] = "untouched";
        int mode = -1;
        int found = row.mess ? GetMESSPictureFor(path, row.key, row.parent, "x.bin", &mode)
                             : GetMAMEPictureFor(path, row.key, row.parent, &mode);
        EXPECT_EQ(row.expected ? temp.path() + row.expected : "untouched", string(path));
        EXPECT_EQ(row.expected != nullptr, found == 1);
        EXPECT_EQ(row.mode, mode);
    }
    SetRandomSource(nullptr);
    ResetSettings();
}
