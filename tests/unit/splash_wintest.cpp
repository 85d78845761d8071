// The splash steps painted into a real window, probed pixel by pixel.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "saver/splash.h"

namespace {

const int kWidth = 800;
const int kHeight = 600;

struct Pixels {
    std::vector<COLORREF> colour;
    COLORREF At(int x, int y) const { return colour[y * kWidth + x]; }
    // Bounding box of every pixel of one colour; right/bottom exclusive.
    RECT Bounds(COLORREF wanted, RECT area = {0, 0, kWidth, kHeight}) const
    {
        RECT box = {kWidth, kHeight, -1, -1};
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                if (At(x, y) == wanted) {
                    box.left = std::min<LONG>(box.left, x);
                    box.top = std::min<LONG>(box.top, y);
                    box.right = std::max<LONG>(box.right, x + 1);
                    box.bottom = std::max<LONG>(box.bottom, y + 1);
                }
        return box;
    }
    int Count(COLORREF wanted) const
    {
        int n = 0;
        for (COLORREF c : colour)
            n += c == wanted;
        return n;
    }
};

class SplashWindow : public ::testing::Test {
protected:
    HWND window = nullptr;

    void SetUp() override
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "SplashTest";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(WS_EX_TOPMOST, "SplashTest", "", WS_POPUP | WS_VISIBLE, 0, 0,
                                 kWidth, kHeight, nullptr, nullptr, windowClass.hInstance,
                                 nullptr);
        ASSERT_NE(nullptr, window);
        Pump();
    }
    void TearDown() override { DestroyWindow(window); }

    void Pump()
    {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
    }

    // The window's client area as painted, read back through a DIB.
    Pixels Read()
    {
        HDC dc = GetDC(window);
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = kWidth;
        info.bmiHeader.biHeight = -kHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void *bits = nullptr;
        HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ previous = SelectObject(memory, dib);
        BitBlt(memory, 0, 0, kWidth, kHeight, dc, 0, 0, SRCCOPY);
        GdiFlush();
        Pixels pixels;
        pixels.colour.resize(kWidth * kHeight);
        const DWORD *p = static_cast<const DWORD *>(bits);
        for (int i = 0; i < kWidth * kHeight; ++i)   // DIB: 0x00RRGGBB
            pixels.colour[i] = RGB((p[i] >> 16) & 0xFF, (p[i] >> 8) & 0xFF, p[i] & 0xFF);
        SelectObject(memory, previous);
        DeleteDC(memory);
        DeleteObject(dib);
        ReleaseDC(window, dc);
        return pixels;
    }
};

}  // namespace

TEST_F(SplashWindow, SearchingIsGreenCentredOnTheDarkBackground)
{
    Splash splash;
    SplashSearching(splash, window);
    Pixels pixels = Read();
    SplashRelease(splash);

    EXPECT_EQ(kBackgroundColour, pixels.At(0, 0));
    EXPECT_EQ(kBackgroundColour, pixels.At(kWidth - 1, kHeight - 1));
    ASSERT_GT(pixels.Count(kSearchingColour), 500);
    RECT text = pixels.Bounds(kSearchingColour);
    EXPECT_NEAR(kWidth / 2, (text.left + text.right) / 2, 3);
    EXPECT_NEAR(kHeight / 2, (text.top + text.bottom) / 2, 8);
    // A 56-point heavy font: the text is much taller than a default font.
    EXPECT_GT(text.bottom - text.top, 40);
}

TEST_F(SplashWindow, ClearingFillRemovesTheText)
{
    Splash splash;
    SplashSearching(splash, window);
    SplashClear(splash);
    Pixels pixels = Read();
    SplashRelease(splash);
    EXPECT_EQ(kWidth * kHeight, pixels.Count(kBackgroundColour));
}

TEST_F(SplashWindow, TitleCardWhiteOverBlackShadow)
{
    Splash splash;
    SplashSearching(splash, window);
    SplashClear(splash);
    SplashTitleCard(splash, "MAME", "Pac-Man");
    Pixels pixels = Read();
    SplashRelease(splash);

    const COLORREF white = kTitleColour, black = kShadowColour;
    RECT upper = {0, 0, kWidth, kHeight / 2};
    RECT lower = {0, kHeight / 2 - 1, kWidth, kHeight};
    RECT title = pixels.Bounds(white, upper);
    RECT subtitle = pixels.Bounds(white, lower);
    ASSERT_LT(title.left, title.right) << "no title";
    ASSERT_LT(subtitle.left, subtitle.right) << "no subtitle";
    // The title is centred in the upper half (moved one pixel up-left).
    EXPECT_NEAR(kWidth / 2 - 1, (title.left + title.right) / 2, 3);
    EXPECT_NEAR(kHeight / 4 - 1, (title.top + title.bottom) / 2, 8);
    EXPECT_LT(title.bottom, kHeight / 2);
    // The subtitle is wrapped text: it starts at the top of the lower half.
    EXPECT_GE(subtitle.top, kHeight / 2 - 1);
    EXPECT_LT(subtitle.top, kHeight / 2 + 25);
    EXPECT_NEAR(kWidth / 2 - 1, (subtitle.left + subtitle.right) / 2, 3);

    // Every black pixel is the shadow of a white one, one pixel down-right.
    int shadows = 0;
    for (int y = 1; y < kHeight; ++y)
        for (int x = 1; x < kWidth; ++x)
            if (pixels.At(x, y) == black) {
                ++shadows;
                ASSERT_EQ(white, pixels.At(x - 1, y - 1)) << x << "," << y;
            }
    EXPECT_GT(shadows, 100);
    // Nothing but greys: white, black, the background and the smoothed edges
    // between them (no "Searching..." green left over).
    int coloured = 0;
    for (COLORREF c : pixels.colour)
        coloured += GetRValue(c) != GetGValue(c) || GetGValue(c) != GetBValue(c);
    EXPECT_EQ(0, coloured);
}

TEST_F(SplashWindow, FontHeightFollowsTheLogicalDotsPerInch)
{
    HDC dc = GetDC(window);
    int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    EXPECT_EQ(-MulDiv(56, dpi, 72), SplashFontHeight(dc));
    if (dpi == 96) {
        EXPECT_EQ(-75, SplashFontHeight(dc));
    }
    ReleaseDC(window, dc);
}
