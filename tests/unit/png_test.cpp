// The PNG decoder against Pillow over libpng's own test pictures, and on
// damaged files built here, each refused quickly and without a leak.
#include <gtest/gtest.h>

#include <zlib.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "artwork/png.h"
#include "support/bytes.h"
#include "support/temp_folder.h"
#include "support/test_files.h"

using std::string;
using std::vector;

namespace {

const string kContrib = "/var/cache/quillmere/libpng-src/contrib";

// "WIDTH HEIGHT RGB-IN-HEX" of a decoded picture, "-" for a refused one.
// Sixteen-bit gray keeps its high byte, alpha and transparency are dropped.
const char kPillow[] = R"(
import sys, warnings
from PIL import Image
warnings.simplefilter("ignore")
for path in sys.argv[1:]:
    try:
        im = Image.open(path)
        im.load()
        if im.mode == "I":
            im = Image.frombytes("L", im.size, im.tobytes()[1::4])
        print(im.size[0], im.size[1], im.convert("RGB").tobytes().hex())
    except Exception:
        print("-")
)";

string Decoded(const string &file)
{
    RgbPicture picture;
    auto start = std::chrono::steady_clock::now();
    bool decoded = DecodePNGFile(file.c_str(), &picture);
    // A side chunk claiming a gigabyte once took seconds of allocation.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    if (!decoded)
        return picture.rows == nullptr && picture.width == 0 ? "-" : "refused but not emptied";
    std::ostringstream out;
    out << picture.width << " " << picture.height << " " << std::hex;
    for (int y = 0; y < picture.height; y++)
        for (int x = 0; x < picture.width * 3; x++)
            out << (picture.rows[y][x] >> 4) << (picture.rows[y][x] & 15);
    FreeRgbPicture(&picture);
    return out.str();
}

TEST(PngDecode, LibpngTestPicturesMatchPillow)
{
    vector<string> files;
    for (const char *folder : {"/pngsuite", "/pngsuite/interlaced", "/testpngs", "/testpngs/crashers"})
        for (const string &file : FilesEndingIn(kContrib + folder, ".png", '/'))
            files.push_back(file);
    ASSERT_GT(files.size(), 180u) << "libpng's test pictures are missing";
    string command = "/usr/bin/python3 -c '" + string(kPillow) + "'";
    for (const string &file : files)
        command += " '" + file + "'";
    std::istringstream pillow(CommandOutput(command));
    for (const string &file : files) {
        SCOPED_TRACE(file);
        string expected;
        ASSERT_TRUE(std::getline(pillow, expected));
        string decoded = Decoded(file);
        // A broken critical chunk spoils the picture, though Pillow shows it;
        // of the other crashers, whatever decodes must be right.
        if (file.find("/badcrc.png") != string::npos || file.find("/huge_IDAT.png") != string::npos)
            expected = "-";
        else if (file.find("/crashers/") != string::npos && expected == "-")
            continue;
        EXPECT_TRUE(expected == decoded) << expected.substr(0, 60) << " / " << decoded.substr(0, 60);
    }
}

const string kSignature("\x89PNG\r\n\x1a\n", 8);

string Ihdr(uint32_t width, uint32_t height, int depth, int colourType)
{
    return PngChunk("IHDR", BigEndian32(width) + BigEndian32(height) + char(depth) +
                                char(colourType) + string(3, '\0'));
}

string Idat(const string &raw)
{
    uLongf size = compressBound(raw.size());
    string packed(size, '\0');
    compress(reinterpret_cast<Bytef *>(&packed[0]), &size,
             reinterpret_cast<const Bytef *>(raw.data()), raw.size());
    return PngChunk("IDAT", packed.substr(0, size));
}

// A whole picture of 8-bit RGB rows, all unfiltered zeros unless raw is given.
string Png(uint32_t width, uint32_t height, int depth = 8, int colourType = 2, string raw = "")
{
    if (raw.empty())
        raw.assign(height * (1 + 3 * width), '\0');
    return kSignature + Ihdr(width, height, depth, colourType) + Idat(raw) + PngChunk("IEND", "");
}

string With(string bytes, size_t at, char value)
{
    bytes[at] = value;
    return bytes;
}

TEST(PngDecode, DamagedAndAbsurdFilesAreRefused)
{
    const string good = Png(20, 10), raw(10 * 61, '\0'), tiny(4, '\0');
    const size_t ihdrEnd = 8 + 25;
    vector<std::pair<string, string>> rows = {
        {"empty file", ""},
        {"7 bytes of signature", kSignature.substr(0, 7)},
        {"CR LF turned into LF", kSignature.substr(0, 4) + "\n" + good.substr(6)},
        {"IHDR checksum wrong", With(good, ihdrEnd - 1, good[ihdrEnd - 1] ^ 1)},
        {"colour type 1", Png(20, 10, 8, 1, raw)},
        {"bit depth 16 on a palette", Png(20, 10, 16, 3, raw)},
        {"palette picture without its palette", Png(20, 10, 8, 3, raw)},
        {"no IDAT", good.substr(0, ihdrEnd) + PngChunk("IEND", "")},
        {"bad filter type", Png(20, 10, 8, 2, string(raw.size(), '\x09'))},
        {"wider than any screen", Png(kMaxPictureSide + 1, 1, 8, 2, tiny)},
        {"width x height x 3 beyond 32 bits", Png(30000, 30000, 8, 2, tiny)},
        {"largest PNG size", Png(0x7fffffff, 0x7fffffff, 8, 2, tiny)},
    };
    for (int at : {0, 3, 6})
        rows.push_back({"signature byte " + std::to_string(at) + " changed", With(good, at, 'X')});
    for (const char *type : {"tEXt", "zTXt", "iCCP", "abCd"})
        rows.push_back({string(type) + " claiming a gigabyte",
                        good.substr(0, ihdrEnd) + BigEndian32(0x3fffffff) + type + "xyz"});
    // Every cut before the middle of the picture data.
    for (const char *name : {"/pngsuite/basn2c08.png", "/pngsuite/ibasn3p08.png", "/testpngs/rgb-alpha-16.png"}) {
        const string whole = ReadWhole(kContrib + name);
        for (size_t length = 0; length < (whole.find("IDAT") + whole.find("IEND")) / 2; length++)
            rows.push_back({name + (" cut to " + std::to_string(length)), whole.substr(0, length)});
    }
    TempFolder temp("png ");
    for (const auto &[what, bytes] : rows) {
        SCOPED_TRACE(what);
        EXPECT_EQ("-", Decoded(temp.Write("bad.png", bytes)));
    }
    EXPECT_EQ("-", Decoded(temp.File("absent.png")));
    EXPECT_EQ("-", Decoded(temp.path()));
    // (Large artwork is no damage: the round test decodes a 2000 x 1000 picture.)
}

}   // namespace
