// Loading PNGs into bitmaps and painting them into a real window, read back
// pixel by pixel.
#include <windows.h>

#include <gtest/gtest.h>
#include <zlib.h>

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/test_files.h"
#include "artwork/picture.h"
#include "artwork/png.h"

using std::string;
using std::vector;

namespace {

const COLORREF kBackground = RGB(20, 20, 20);

// The bitmap selected into a memory context, as 0x00RRGGBB words, top row first.
vector<uint32_t> ReadBitmap(HDC memoryDC, int width, int height)
{
    vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    HBITMAP bitmap = static_cast<HBITMAP>(GetCurrentObject(memoryDC, OBJ_BITMAP));
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    // GetDIBits wants the bitmap out of the context while it reads.
    HBITMAP spare = CreateCompatibleBitmap(memoryDC, 1, 1);
    SelectObject(memoryDC, spare);
    int rows = GetDIBits(memoryDC, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    SelectObject(memoryDC, bitmap);
    DeleteObject(spare);
    EXPECT_EQ(height, rows);
    for (uint32_t &p : pixels)
        p &= 0xffffff;
    return pixels;
}

// ---- PNG bytes made in the test ----------------------------------------------

// The colour of picture pixel (x, y) in the position-coded test pictures:
// every pixel differs from its neighbours and from the background.
COLORREF CodedColour(int x, int y)
{
    return RGB(x & 255, y & 255, 0x80 | ((x >> 8) << 3) | (y >> 8));
}

// Writes a width x height RGB PNG; solid when solid is not CLR_INVALID,
// position-coded otherwise.
void WritePng(const string &path, int width, int height, COLORREF solid)
{
    string raw;
    raw.reserve(static_cast<size_t>(height) * (1 + 3 * width));
    for (int y = 0; y < height; y++) {
        raw += '\0';
        for (int x = 0; x < width; x++) {
            COLORREF c = solid != CLR_INVALID ? solid : CodedColour(x, y);
            raw += static_cast<char>(GetRValue(c));
            raw += static_cast<char>(GetGValue(c));
            raw += static_cast<char>(GetBValue(c));
        }
    }
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    string packed(size, '\0');
    compress(reinterpret_cast<Bytef *>(&packed[0]), &size, reinterpret_cast<const Bytef *>(raw.data()),
             static_cast<uLong>(raw.size()));
    packed.resize(size);
    string ihdr = BigEndian32(width) + BigEndian32(height) + string("\x08\x02\x00\x00\x00", 5);
    string png = string("\x89PNG\r\n\x1a\n", 8) + PngChunk("IHDR", ihdr) + PngChunk("IDAT", packed)
        + PngChunk("IEND", "");
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, f);
    fwrite(png.data(), 1, png.size(), f);
    fclose(f);
}

string TempPng(const string &name)
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    return string(folder) + "quillmere-picture-" + name + ".png";
}

// A window that keeps what is painted into it and never shows on screen:
// layered and fully transparent.
class PictureWindow : public ::testing::Test {
protected:
    static constexpr int kWidth = 1024;
    static constexpr int kHeight = 768;
    HWND window = nullptr;

    void SetUp() override
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "PictureTest";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(WS_EX_LAYERED | WS_EX_TOOLWINDOW, "PictureTest", "", WS_POPUP, 0, 0,
                                 kWidth, kHeight, nullptr, nullptr, windowClass.hInstance, nullptr);
        ASSERT_NE(nullptr, window);
        SetLayeredWindowAttributes(window, 0, 0, LWA_ALPHA);
        ShowWindow(window, SW_SHOWNOACTIVATE);
        Pump();
    }
    void TearDown() override
    {
        DestroyWindow(window);
        for (const string &f : made)
            DeleteFileA(f.c_str());
    }
    void Pump()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    void FillBackground()
    {
        HDC dc = GetDC(window);
        HBRUSH brush = CreateSolidBrush(kBackground);
        RECT all = {0, 0, kWidth, kHeight};
        FillRect(dc, &all, brush);
        DeleteObject(brush);
        ReleaseDC(window, dc);
    }
    // The client area as COLORREFs.
    vector<COLORREF> Capture()
    {
        HDC dc = GetDC(window);
        HDC memory = CreateCompatibleDC(dc);
        HBITMAP bitmap = CreateCompatibleBitmap(dc, kWidth, kHeight);
        SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, kWidth, kHeight, dc, 0, 0, SRCCOPY);
        ReleaseDC(window, dc);
        vector<uint32_t> rgb = ReadBitmap(memory, kWidth, kHeight);
        FreeLoadedPicture(memory);
        vector<COLORREF> out(rgb.size());
        for (size_t i = 0; i < rgb.size(); i++)
            out[i] = RGB((rgb[i] >> 16) & 255, (rgb[i] >> 8) & 255, rgb[i] & 255);
        return out;
    }
    // Loads a made picture and paints it over the background.
    vector<COLORREF> Paint(int pw, int ph, COLORREF solid, int mode)
    {
        string path = TempPng(std::to_string(pw) + "x" + std::to_string(ph));
        made.push_back(path);
        WritePng(path, pw, ph, solid);
        RECT rect;
        HDC picture = LoadPNGintoBITMAP(path.c_str(), window, &rect);
        EXPECT_NE(nullptr, picture);
        if (!picture)
            return {};
        EXPECT_EQ(0, rect.left);
        EXPECT_EQ(0, rect.top);
        EXPECT_EQ(pw, rect.right);
        EXPECT_EQ(ph, rect.bottom);
        FillBackground();
        DisplayPNGBitmap(picture, window, &rect, mode);
        FreeLoadedPicture(picture);
        return Capture();
    }
    vector<string> made;
};

}  // namespace

// ---- Block copy against the per-pixel copy -------------------------------------

TEST_F(PictureWindow, BlockCopyGivesThePixelsOfThePerPixelCopy)
{
    vector<string> files;
    for (const char *folder : {"Z:\\var\\cache\\quillmere\\libpng-src\\contrib\\pngsuite",
                               "Z:\\var\\cache\\quillmere\\libpng-src\\contrib\\testpngs"}) {
        vector<string> found = FilesEndingIn(folder, ".png", '\\');
        files.insert(files.end(), found.begin(), found.end());
    }
    ASSERT_GT(files.size(), 150u);
    string coded = TempPng("coded-333x97");
    made.push_back(coded);
    WritePng(coded, 333, 97, CLR_INVALID);   // an odd width: no row padding luck
    files.push_back(coded);
    for (const string &file : files) {
        SCOPED_TRACE(file);
        RECT blockRect, pixelRect;
        HDC block = LoadPNGintoBITMAPWith(file.c_str(), window, &blockRect, PictureFill::Block);
        HDC perPixel = LoadPNGintoBITMAPWith(file.c_str(), window, &pixelRect, PictureFill::PerPixel);
        ASSERT_NE(nullptr, block);
        ASSERT_NE(nullptr, perPixel);
        ASSERT_TRUE(EqualRect(&blockRect, &pixelRect));
        const int w = blockRect.right, h = blockRect.bottom;
        vector<uint32_t> a = ReadBitmap(block, w, h);
        vector<uint32_t> b = ReadBitmap(perPixel, w, h);
        EXPECT_TRUE(a == b) << "block and per-pixel copies differ";
        // And both are the decoded rows.
        RgbPicture rgb;
        ASSERT_TRUE(DecodePNGFile(file.c_str(), &rgb));
        int wrong = 0;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                const unsigned char *p = rgb.rows[y] + 3 * x;
                uint32_t expected = (p[0] << 16) | (p[1] << 8) | p[2];
                wrong += a[y * w + x] != expected;
            }
        EXPECT_EQ(0, wrong);
        FreeRgbPicture(&rgb);
        FreeLoadedPicture(block);
        FreeLoadedPicture(perPixel);
    }
}

TEST_F(PictureWindow, FilesThatAreNotPicturesGiveNoContext)
{
    string notPng = TempPng("text");
    made.push_back(notPng);
    FILE *f = fopen(notPng.c_str(), "wb");
    ASSERT_NE(nullptr, f);
    fputs("not a picture at all", f);
    fclose(f);
    RECT rect = {1, 2, 3, 4};
    for (PictureFill fill : {PictureFill::Block, PictureFill::PerPixel}) {
        EXPECT_EQ(nullptr, LoadPNGintoBITMAPWith(notPng.c_str(), window, &rect, fill));
        EXPECT_EQ(nullptr, LoadPNGintoBITMAPWith("Z:\\no\\such\\file.png", window, &rect, fill));
    }
    // The rectangle is only set once a picture has decoded.
    EXPECT_EQ(1, rect.left);
    EXPECT_EQ(4, rect.bottom);
}

// ---- Painting the worked layouts -----------------------------------------------

TEST_F(PictureWindow, TilesOf300x200AreCopiedExactly)
{
    vector<COLORREF> shot = Paint(300, 200, CLR_INVALID, 1);
    ASSERT_EQ(static_cast<size_t>(kWidth * kHeight), shot.size());
    // Tiles start at x = -238 + 300 i and y = -116 + 200 j: every pixel of
    // the window is the picture pixel at its offset within its tile.
    int wrong = 0;
    for (int y = 0; y < kHeight; y += 7)
        for (int x = 0; x < kWidth; x += 5) {
            int px = ((x + 238) % 300), py = ((y + 116) % 200);
            wrong += shot[y * kWidth + x] != CodedColour(px, py);
        }
    EXPECT_EQ(0, wrong);
    // The tile edges, both sides.
    EXPECT_EQ(CodedColour(299, 116), shot[0 * kWidth + 61]);
    EXPECT_EQ(CodedColour(0, 0), shot[84 * kWidth + 62]);
    EXPECT_EQ(CodedColour(0, 0), shot[684 * kWidth + 962]);
    EXPECT_EQ(CodedColour(61, 83), shot[767 * kWidth + 1023]);
}

TEST_F(PictureWindow, PictureOfTheWindowSizeIsCopiedAtTheOrigin)
{
    vector<COLORREF> shot = Paint(kWidth, kHeight, CLR_INVALID, 1);
    ASSERT_EQ(static_cast<size_t>(kWidth * kHeight), shot.size());
    int wrong = 0;
    for (int y = 0; y < kHeight; y += 3)
        for (int x = 0; x < kWidth; x += 3)
            wrong += shot[y * kWidth + x] != CodedColour(x, y);
    EXPECT_EQ(0, wrong);
}

TEST_F(PictureWindow, FittedAndStretchedPicturesCoverTheirRectangles)
{
    const COLORREF blue = RGB(10, 40, 250);
    struct Row {
        int pw, ph, mode;
        RECT expected;   // left, top, right, bottom (exclusive)
    } rows[] = {
        {800, 1000, 1, {204, 0, 819, 768}},
        {2048, 1024, 1, {0, 128, 1024, 640}},
        {2048, 1536, 1, {0, 0, 1024, 768}},
        {300, 200, 0, {0, 0, 1024, 768}},
        {2048, 1024, 0, {0, 0, 1024, 768}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << row.pw << "x" << row.ph << " mode " << row.mode);
        vector<COLORREF> shot = Paint(row.pw, row.ph, blue, row.mode);
        ASSERT_EQ(static_cast<size_t>(kWidth * kHeight), shot.size());
        // Bounding box of the picture's colour; everything else is background.
        RECT box = {kWidth, kHeight, -1, -1};
        int other = 0;
        for (int y = 0; y < kHeight; y++)
            for (int x = 0; x < kWidth; x++) {
                COLORREF c = shot[y * kWidth + x];
                if (c == blue) {
                    box.left = std::min<LONG>(box.left, x);
                    box.top = std::min<LONG>(box.top, y);
                    box.right = std::max<LONG>(box.right, x + 1);
                    box.bottom = std::max<LONG>(box.bottom, y + 1);
                } else if (c != kBackground) {
                    other++;
                }
            }
        EXPECT_EQ(row.expected.left, box.left);
        EXPECT_EQ(row.expected.top, box.top);
        EXPECT_EQ(row.expected.right, box.right);
        EXPECT_EQ(row.expected.bottom, box.bottom);
        EXPECT_EQ(0, other);
    }
}
