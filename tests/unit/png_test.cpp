#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/temp_folder.h"
#include "support/test_files.h"
#include "artwork/png.h"

using std::string;
using std::vector;

namespace {

// Runs a shell command with a time limit; true when it succeeded.
bool Capture(const string &command, string *out)
{
    bool ok = false;
    *out = CommandOutput("timeout 60 " + command, &ok);
    return ok;
}

const string kLibpngContrib = "/var/cache/quillmere/libpng-src/contrib";

// The picture as the independent Python decoder sees it.
struct Reference {
    bool decoded = false;
    int width = 0, height = 0;
    string rgb;
};

// Decodes all files with the reference decoder in one run (its start-up is
// the slow part).
vector<Reference> DecodeWithReference(const vector<string> &files)
{
    vector<Reference> refs(files.size());
    TempFolder outDir("quillmere-pngref-");
    if (outDir.path().empty())
        return refs;
    string command = "python3 " QUILLMERE_SOURCE_DIR "/tests/tools/png_rgb.py " + outDir.path();
    for (const string &file : files)
        command += " '" + file + "'";
    string ignored;
    EXPECT_TRUE(Capture(command, &ignored)) << "reference decoder failed";
    for (size_t n = 0; n < files.size(); n++) {
        string out = ReadWhole(outDir.File(std::to_string(n) + ".rgb"));
        size_t newline = out.find('\n');
        Reference &ref = refs[n];
        if (newline == string::npos || sscanf(out.c_str(), "%d %d", &ref.width, &ref.height) != 2)
            continue;
        ref.rgb = out.substr(newline + 1);
        ref.decoded = true;
    }
    return refs;
}

string Joined(const RgbPicture &picture)
{
    string all;
    for (int y = 0; y < picture.height; y++)
        all.append(reinterpret_cast<const char *>(picture.rows[y]),
                   static_cast<size_t>(picture.width) * 3);
    return all;
}

// ---- Building PNG bytes in the test -------------------------------------------

const string kSignature("\x89PNG\r\n\x1a\n", 8);

string Ihdr(uint32_t width, uint32_t height, int depth, int colourType, int interlace = 0)
{
    string body = BigEndian32(width) + BigEndian32(height);
    body += static_cast<char>(depth);
    body += static_cast<char>(colourType);
    body += '\0';
    body += '\0';
    body += static_cast<char>(interlace);
    return PngChunk("IHDR", body);
}

string Idat(const string &raw)
{
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    string packed(size, '\0');
    compress(reinterpret_cast<Bytef *>(&packed[0]), &size, reinterpret_cast<const Bytef *>(raw.data()),
             static_cast<uLong>(raw.size()));
    packed.resize(size);
    return PngChunk("IDAT", packed);
}

// An 8-bit RGB picture whose pixel (x, y) is (x, y, x ^ y), rows unfiltered.
string RgbPng(int width, int height)
{
    string raw;
    for (int y = 0; y < height; y++) {
        raw += '\0';
        for (int x = 0; x < width; x++) {
            raw += static_cast<char>(x);
            raw += static_cast<char>(y);
            raw += static_cast<char>(x ^ y);
        }
    }
    return kSignature + Ihdr(width, height, 8, 2) + Idat(raw) + PngChunk("IEND", "");
}

// Offset just past the end of the first chunk of the given type.
size_t ChunkEnd(const string &png, const string &type)
{
    size_t pos = 8;
    while (pos + 8 <= png.size()) {
        uint32_t length = (static_cast<uint8_t>(png[pos]) << 24) | (static_cast<uint8_t>(png[pos + 1]) << 16)
            | (static_cast<uint8_t>(png[pos + 2]) << 8) | static_cast<uint8_t>(png[pos + 3]);
        if (png.compare(pos + 4, 4, type) == 0)
            return pos + 12 + length;
        pos += 12 + length;
    }
    return string::npos;
}

}  // namespace

// ---- The libpng test suites ----------------------------------------------------

TEST(PngDecode, EverySuitePictureMatchesAnIndependentDecoder)
{
    vector<string> files;
    for (const char *folder : {"/pngsuite", "/pngsuite/interlaced", "/testpngs"}) {
        vector<string> found = FilesEndingIn(kLibpngContrib + folder, ".png", '/');
        files.insert(files.end(), found.begin(), found.end());
    }
    ASSERT_GT(files.size(), 150u) << "libpng's test pictures are missing";
    vector<Reference> refs = DecodeWithReference(files);
    for (size_t n = 0; n < files.size(); n++) {
        const string &file = files[n];
        const Reference &ref = refs[n];
        SCOPED_TRACE(file);
        ASSERT_TRUE(ref.decoded);
        RgbPicture picture;
        ASSERT_TRUE(DecodePNGFile(file.c_str(), &picture));
        EXPECT_EQ(ref.width, picture.width);
        EXPECT_EQ(ref.height, picture.height);
        ASSERT_EQ(static_cast<size_t>(ref.width) * ref.height * 3, ref.rgb.size());
        EXPECT_TRUE(ref.rgb == Joined(picture)) << "pixels differ";
        FreeRgbPicture(&picture);
        EXPECT_EQ(nullptr, picture.rows);
    }
}

TEST(PngDecode, InterlacedTwinsGiveTheSameRows)
{
    const string suite = kLibpngContrib + "/pngsuite/";
    vector<std::pair<string, string>> twins;
    for (const string &file : FilesEndingIn(kLibpngContrib + "/pngsuite", ".png", '/')) {
        string name = file.substr(file.rfind('/') + 1);
        if (name[0] != 'i')
            continue;
        twins.push_back({file, suite + name.substr(1)});
    }
    for (const string &file : FilesEndingIn(kLibpngContrib + "/pngsuite/interlaced", ".png", '/'))
        twins.push_back({file, suite + file.substr(file.rfind('/') + 2)});
    ASSERT_GE(twins.size(), 30u);
    for (const auto &twin : twins) {
        SCOPED_TRACE(twin.first);
        RgbPicture interlaced, plain;
        ASSERT_TRUE(DecodePNGFile(twin.first.c_str(), &interlaced));
        ASSERT_TRUE(DecodePNGFile(twin.second.c_str(), &plain));
        EXPECT_EQ(plain.width, interlaced.width);
        EXPECT_EQ(plain.height, interlaced.height);
        EXPECT_TRUE(Joined(plain) == Joined(interlaced));
        FreeRgbPicture(&interlaced);
        FreeRgbPicture(&plain);
    }
}

// Solid pictures written by ImageMagick in many encodings: every pixel is
// the colour asked for, alpha and transparency ignored.
TEST(PngDecode, SolidColourInEveryEncoding)
{
    TempFolder temp{"quillmere-png-"};
    struct Row {
        const char *what;
        const char *convertArgs;
        unsigned char r, g, b;
    } rows[] = {
        {"RGB 8", "-size 13x7 xc:'rgb(10,200,30)' PNG24:", 10, 200, 30},
        {"RGB 16", "-size 13x7 xc:'rgb(10,200,30)' -depth 16 PNG48:", 10, 200, 30},
        {"RGBA 8, half transparent", "-size 13x7 xc:'rgba(10,200,30,0.5)' PNG32:", 10, 200, 30},
        {"RGBA 16", "-size 13x7 xc:'rgba(10,200,30,0.5)' -depth 16 PNG64:", 10, 200, 30},
        {"palette", "-size 13x7 xc:'rgb(250,5,128)' PNG8:", 250, 5, 128},
        {"gray 8", "-size 13x7 xc:'rgb(77,77,77)' -type Grayscale -depth 8 PNG:", 77, 77, 77},
        {"gray 16", "-size 13x7 xc:'rgb(77,77,77)' -type Grayscale -depth 16 PNG:", 77, 77, 77},
        {"gray 1 white", "-size 13x7 xc:white -type Bilevel PNG:", 255, 255, 255},
        {"interlaced", "-size 33x17 xc:'rgb(1,2,3)' -interlace PNG PNG24:", 1, 2, 3},
    };
    int n = 0;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        string file = temp.File("solid" + std::to_string(n++) + ".png");
        string args = row.convertArgs;
        size_t colon = args.rfind(':');
        string command = "convert " + args.substr(0, colon + 1) + "'" + file + "'";
        string ignored;
        ASSERT_TRUE(Capture(command, &ignored)) << command;
        RgbPicture picture;
        ASSERT_TRUE(DecodePNGFile(file.c_str(), &picture));
        ASSERT_GT(picture.width * picture.height, 0);
        for (int y = 0; y < picture.height; y++)
            for (int x = 0; x < picture.width; x++) {
                const unsigned char *p = picture.rows[y] + 3 * x;
                ASSERT_EQ(row.r, p[0]) << x << "," << y;
                ASSERT_EQ(row.g, p[1]) << x << "," << y;
                ASSERT_EQ(row.b, p[2]) << x << "," << y;
            }
        FreeRgbPicture(&picture);
    }
}

TEST(PngDecode, PixelsLandWhereTheyBelong)
{
    TempFolder temp{"quillmere-png-"};
    string file = temp.Write("xy.png", RgbPng(200, 3));
    RgbPicture picture;
    ASSERT_TRUE(DecodePNGFile(file.c_str(), &picture));
    ASSERT_EQ(200, picture.width);
    ASSERT_EQ(3, picture.height);
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 200; x += 37) {
            SCOPED_TRACE(testing::Message() << x << "," << y);
            EXPECT_EQ(x, picture.rows[y][3 * x]);
            EXPECT_EQ(y, picture.rows[y][3 * x + 1]);
            EXPECT_EQ(x ^ y, picture.rows[y][3 * x + 2]);
        }
    FreeRgbPicture(&picture);
}

// ---- Files that are not pictures ------------------------------------------------

TEST(PngDecode, DamagedFilesGiveNothing)
{
    TempFolder temp{"quillmere-png-"};
    const string good = RgbPng(20, 10);
    const size_t ihdrEnd = ChunkEnd(good, "IHDR");
    ASSERT_NE(string::npos, ihdrEnd);

    auto withByte = [](string s, size_t at, char value) {
        s[at] = value;
        return s;
    };
    string raw(10 * (1 + 20 * 3), '\0');
    struct Row {
        const char *what;
        string bytes;
    } rows[] = {
        {"empty file", ""},
        {"7 bytes of signature", kSignature.substr(0, 7)},
        {"signature only", kSignature},
        {"signature byte 1 changed", withByte(good, 0, 'X')},
        {"signature byte 2 changed", withByte(good, 1, 'p')},
        {"signature byte 4 changed", withByte(good, 3, 'f')},
        {"signature byte 7 changed", withByte(good, 6, '\x1b')},
        {"CR LF turned into LF (text-mode copy)", kSignature.substr(0, 4) + "\n" + good.substr(6)},
        {"IHDR checksum wrong", withByte(good, ihdrEnd - 1, static_cast<char>(good[ihdrEnd - 1] ^ 1))},
        {"colour type 1", kSignature + Ihdr(20, 10, 8, 1) + Idat(raw) + PngChunk("IEND", "")},
        {"bit depth 0", kSignature + Ihdr(20, 10, 0, 0) + Idat(raw) + PngChunk("IEND", "")},
        {"bit depth 16 on a palette", kSignature + Ihdr(20, 10, 16, 3) + Idat(raw) + PngChunk("IEND", "")},
        {"width 0", kSignature + Ihdr(0, 10, 8, 2) + Idat(raw) + PngChunk("IEND", "")},
        {"no IDAT", good.substr(0, ihdrEnd) + PngChunk("IEND", "")},
        {"IDAT checksum wrong", withByte(good, ChunkEnd(good, "IDAT") - 2, 'Z')},
        {"palette picture without palette", kSignature + Ihdr(20, 10, 8, 3) + Idat(raw) + PngChunk("IEND", "")},
        {"compressed data too short", kSignature + Ihdr(20, 10, 8, 2) + Idat(raw.substr(0, 100))
                                          + PngChunk("IEND", "")},
        {"bad filter type", kSignature + Ihdr(20, 10, 8, 2) + Idat(string(raw.size(), '\x09'))
                                + PngChunk("IEND", "")},
        {"not compressed data", kSignature + Ihdr(20, 10, 8, 2) + PngChunk("IDAT", raw) + PngChunk("IEND", "")},
    };
    int n = 0;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        string file = temp.Write("bad" + std::to_string(n++) + ".png", row.bytes);
        RgbPicture picture = {1, 1, reinterpret_cast<unsigned char **>(&picture)};
        EXPECT_FALSE(DecodePNGFile(file.c_str(), &picture));
        EXPECT_EQ(nullptr, picture.rows);
        EXPECT_EQ(0, picture.width);
        EXPECT_EQ(0, picture.height);
    }
}

TEST(PngDecode, MissingFileOrFolderGivesNothing)
{
    TempFolder temp{"quillmere-png-"};
    RgbPicture picture;
    EXPECT_FALSE(DecodePNGFile((temp.path() + "/absent.png").c_str(), &picture));
    EXPECT_FALSE(DecodePNGFile(temp.path().c_str(), &picture));
    EXPECT_EQ(nullptr, picture.rows);
}

TEST(PngDecode, EveryTruncationBeforeThePictureEndsGivesNothing)
{
    TempFolder temp{"quillmere-png-"};
    for (const char *name : {"/pngsuite/basn2c08.png", "/pngsuite/basi0g08.png", "/pngsuite/ibasn3p08.png",
                             "/testpngs/rgb-alpha-16.png"}) {
        const string whole = ReadWhole(kLibpngContrib + name);
        if (whole.empty())
            continue;
        SCOPED_TRACE(name);
        // Up to the middle of the compressed picture data, nothing can decode.
        const size_t idatEnd = ChunkEnd(whole, "IDAT");
        ASSERT_NE(string::npos, idatEnd);
        const size_t idatStart = whole.rfind("IDAT", idatEnd) - 4;
        const size_t limit = idatStart + (idatEnd - idatStart) / 2;
        for (size_t length = 0; length < limit; length++) {
            SCOPED_TRACE(length);
            string file = temp.Write("cut.png", whole.substr(0, length));
            RgbPicture picture;
            ASSERT_FALSE(DecodePNGFile(file.c_str(), &picture));
        }
    }
}

TEST(PngDecode, LibpngCrashersNeitherCrashNorLeak)
{
    vector<string> files = FilesEndingIn(kLibpngContrib + "/testpngs/crashers", ".png", '/');
    ASSERT_GT(files.size(), 10u);
    vector<Reference> refs = DecodeWithReference(files);
    for (size_t n = 0; n < files.size(); n++) {
        const string &file = files[n];
        SCOPED_TRACE(file);
        RgbPicture picture;
        auto start = std::chrono::steady_clock::now();
        bool decoded = DecodePNGFile(file.c_str(), &picture);
        // A side chunk claiming a gigabyte once took seconds of allocation.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        const string name = file.substr(file.rfind('/') + 1);
        // A broken critical chunk: the picture data is unusable.
        if (name == "badcrc.png" || name == "huge_IDAT.png") {
            EXPECT_FALSE(decoded);
        }
        if (decoded) {
            // Whatever got through is a whole picture.
            const Reference &ref = refs[n];
            if (ref.decoded) {
                EXPECT_EQ(ref.width, picture.width);
                EXPECT_EQ(ref.height, picture.height);
                EXPECT_TRUE(ref.rgb == Joined(picture));
            }
            FreeRgbPicture(&picture);
        } else {
            EXPECT_EQ(nullptr, picture.rows);
        }
    }
}

TEST(PngDecode, HugeSideChunkLengthIsNotAllocated)
{
    TempFolder temp{"quillmere-png-"};
    const string good = RgbPng(4, 4);
    const size_t ihdrEnd = ChunkEnd(good, "IHDR");
    for (const char *type : {"tEXt", "zTXt", "iTXt", "iCCP", "eXIf", "sPLT", "pCAL", "abCd"}) {
        SCOPED_TRACE(type);
        // A side chunk whose length field claims 1 GiB, then the file ends.
        string bytes = good.substr(0, ihdrEnd) + BigEndian32(0x3fffffff) + type + "xyz";
        string file = temp.Write("huge-chunk.png", bytes);
        auto start = std::chrono::steady_clock::now();
        RgbPicture picture;
        EXPECT_FALSE(DecodePNGFile(file.c_str(), &picture));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    }
}

// ---- Absurd sizes -----------------------------------------------------------------

TEST(PngDecode, AbsurdSizesAreRefusedWithoutAllocatingThem)
{
    TempFolder temp{"quillmere-png-"};
    string tiny(1 + 3, '\0');
    struct Row {
        const char *what;
        uint32_t width, height;
    } rows[] = {
        {"wider than any screen", kMaxPictureSide + 1u, 1},
        {"taller than any screen", 1, kMaxPictureSide + 1u},
        {"too many pixels", 16384, 8192},
        {"width * height * 3 overflows 32 bits", 30000, 30000},
        {"largest PNG width", 0x7fffffffu, 0x7fffffffu},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        string file = temp.Write("huge.png", kSignature + Ihdr(row.width, row.height, 8, 2) + Idat(tiny)
                                                 + PngChunk("IEND", ""));
        RgbPicture picture;
        EXPECT_FALSE(DecodePNGFile(file.c_str(), &picture));
        EXPECT_EQ(nullptr, picture.rows);
    }
}

TEST(PngDecode, LargeButSensiblePicturesDecode)
{
    TempFolder temp{"quillmere-png-"};
    string file = temp.File("wide.png");
    string ignored;
    ASSERT_TRUE(Capture("convert -size 3840x2160 gradient:red-blue PNG24:'" + file + "'", &ignored));
    RgbPicture picture;
    ASSERT_TRUE(DecodePNGFile(file.c_str(), &picture));
    EXPECT_EQ(3840, picture.width);
    EXPECT_EQ(2160, picture.height);
    FreeRgbPicture(&picture);
}
