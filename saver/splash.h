// The splash screen, painted in four steps on one device context of the
// session window with one brush and one font that live from the first step
// to the last.
#pragma once
#include <windows.h>

constexpr COLORREF kBackgroundColour = RGB(20, 20, 20);
constexpr COLORREF kSearchingColour = RGB(0, 255, 0);
constexpr COLORREF kShadowColour = RGB(0, 0, 0);
constexpr COLORREF kTitleColour = RGB(255, 255, 255);
constexpr UINT kTitleFlags = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_WORD_ELLIPSIS;
constexpr UINT kSubtitleFlags = DT_CENTER | DT_VCENTER | DT_WORDBREAK | DT_WORD_ELLIPSIS;

struct Splash {
    HWND window = nullptr;
    HDC dc = nullptr;
    RECT client = {};
    HBRUSH brush = nullptr;
    HFONT font = nullptr;
    HGDIOBJ previousFont = nullptr;
};

// Step 1: the dark fill and "Searching..." in green, centred.
void SplashSearching(Splash &splash, HWND window);
// Step 2: the dark fill again, once the choice is made.
void SplashClear(Splash &splash);
// Step 3: the title in the upper half, the subtitle from the top of the lower
// half, each white over a black copy one pixel down and right.
void SplashTitleCard(Splash &splash, const char *title, const char *subtitle);
// Step 4: gives back the font, the brush and the device context.
void SplashRelease(Splash &splash);

// The splash font's height for a device context: 56 points.
int SplashFontHeight(HDC dc);
