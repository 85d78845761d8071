// The splash bitmap under real GDI: the block copy of the decoded rows into a
// DIB section gives the decoder's pixels, the same as the per-pixel copy, for
// every picture of libpng's test suites. (Painting is checked to the pixel
// end to end, through quillmere-check render.)
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "artwork/picture.h"
#include "artwork/png.h"
#include "support/test_files.h"

namespace {

// The bitmap of a loaded picture as 0x00RRGGBB words, top row first.
std::vector<uint32_t> Pixels(HDC picture, int width, int height)
{
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    // GetDIBits wants the bitmap out of its context while it reads.
    HBITMAP spare = CreateCompatibleBitmap(picture, 1, 1);
    HGDIOBJ bitmap = SelectObject(picture, spare);
    EXPECT_EQ(height, GetDIBits(picture, static_cast<HBITMAP>(bitmap), 0, height, pixels.data(), &info,
                                DIB_RGB_COLORS));
    SelectObject(picture, bitmap);
    DeleteObject(spare);
    for (uint32_t &p : pixels)
        p &= 0xffffff;
    return pixels;
}

TEST(PictureBitmap, BlockCopyGivesTheDecodedPixelsOfEverySuitePicture)
{
    std::vector<std::string> files;
    for (const char *folder : {"Z:\\var\\cache\\quillmere\\libpng-src\\contrib\\pngsuite",
                               "Z:\\var\\cache\\quillmere\\libpng-src\\contrib\\testpngs"})
        for (const std::string &file : FilesEndingIn(folder, ".png", '\\'))
            files.push_back(file);
    ASSERT_GT(files.size(), 150u);
    HWND window = MakeUnseenWindow(64, 64);
    ASSERT_NE(nullptr, window);
    for (const std::string &file : files) {
        SCOPED_TRACE(file);
        RECT block, perPixel;
        HDC a = LoadPNGintoBITMAPWith(file.c_str(), window, &block, PictureFill::Block);
        HDC b = LoadPNGintoBITMAPWith(file.c_str(), window, &perPixel, PictureFill::PerPixel);
        RgbPicture rgb;
        ASSERT_TRUE(a && b && DecodePNGFile(file.c_str(), &rgb));
        ASSERT_TRUE(EqualRect(&block, &perPixel) && block.right == rgb.width && block.bottom == rgb.height);
        std::vector<uint32_t> decoded;
        for (int y = 0; y < rgb.height; y++)
            for (int x = 0; x < rgb.width; x++)
                decoded.push_back(rgb.rows[y][3 * x] << 16 | rgb.rows[y][3 * x + 1] << 8 | rgb.rows[y][3 * x + 2]);
        EXPECT_TRUE(decoded == Pixels(a, rgb.width, rgb.height)) << "block copy";
        EXPECT_TRUE(decoded == Pixels(b, rgb.width, rgb.height)) << "per-pixel copy";
        FreeRgbPicture(&rgb);
        FreeLoadedPicture(a);
        FreeLoadedPicture(b);
    }
    DestroyWindow(window);
}

}   // namespace
