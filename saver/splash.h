// The splash screen: "Searching..." while a round is prepared, then the
// round's picture under its title card. Painted straight onto the session
// window, on the primary monitor's part of it (the window may span several).
#pragma once
#include <windows.h>

#include "saver/round.h"

constexpr COLORREF kBackgroundColour = RGB(20, 20, 20);
constexpr COLORREF kSearchingColour = RGB(0, 255, 0);
constexpr COLORREF kShadowColour = RGB(0, 0, 0);
constexpr COLORREF kTitleColour = RGB(255, 255, 255);
constexpr UINT kTitleFlags = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_WORD_ELLIPSIS;
constexpr UINT kSubtitleFlags = DT_CENTER | DT_VCENTER | DT_WORDBREAK | DT_WORD_ELLIPSIS;

// The dark fill and "Searching..." in green, centred; note and secondNote,
// when not empty, each on a line of a smaller type under it.
void PaintSearchingScreen(HWND window, const char *note, const char *secondNote);

// The dark fill, the round's picture as its mode lays it out, and the title
// in the upper half and the subtitle from the top of the lower half, each
// white over a black copy one pixel down and right.
void PaintRoundScreen(HWND window, const Round &round);

// Black over the whole window: the rounds are over for the night.
void PaintDarkScreen(HWND window);

// The dark fill and a notice for the user, wrapped over the middle of the
// screen in the searching colour.
void PaintNoticeScreen(HWND window, const wchar_t *text);

// The splash font's height for a device context: 56 points.
int SplashFontHeight(HDC dc);

// Where the splash goes inside window's client area: the primary monitor.
RECT SplashArea(HWND window);
