#include "saver/splash.h"

// The choice that follows blocks the thread for a while; some window systems
// (Wine's among them) put what was painted on the screen only when the
// program next looks at its message queue. A look that takes nothing out of
// the queue shows "Searching..." at once and handles no input.
static void ShowPaintedNow()
{
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
}

int SplashFontHeight(HDC dc)
{
    return -MulDiv(56, GetDeviceCaps(dc, LOGPIXELSY), 72);
}

void SplashSearching(Splash &splash, HWND window)
{
    splash.window = window;
    splash.dc = GetDC(window);
    GetClientRect(window, &splash.client);
    splash.brush = CreateSolidBrush(kBackgroundColour);
    FillRect(splash.dc, &splash.client, splash.brush);
    splash.font = CreateFontA(SplashFontHeight(splash.dc), 0, 0, 0, 900, FALSE, FALSE, FALSE,
                              ANSI_CHARSET, 0, 0, 0, 0, "Arial");
    splash.previousFont = SelectObject(splash.dc, splash.font);
    SetTextColor(splash.dc, kSearchingColour);
    SetBkMode(splash.dc, TRANSPARENT);
    RECT area = splash.client;
    DrawTextA(splash.dc, "Searching...", -1, &area, kTitleFlags);
    ShowPaintedNow();
}

void SplashClear(Splash &splash)
{
    FillRect(splash.dc, &splash.client, splash.brush);
}

void SplashTitleCard(Splash &splash, const char *title, const char *subtitle)
{
    const RECT &c = splash.client;
    RECT upper = {c.left, c.top, c.right, c.bottom / 2};
    RECT lower = {c.left, c.bottom / 2, c.right, c.bottom};

    // DrawText may change the rectangle it is given; draw on copies.
    SetTextColor(splash.dc, kShadowColour);
    SetBkMode(splash.dc, TRANSPARENT);
    RECT area = upper;
    DrawTextA(splash.dc, title, -1, &area, kTitleFlags);
    area = lower;
    DrawTextA(splash.dc, subtitle, -1, &area, kSubtitleFlags);

    OffsetRect(&upper, -1, -1);
    OffsetRect(&lower, -1, -1);
    SetTextColor(splash.dc, kTitleColour);
    SetBkMode(splash.dc, TRANSPARENT);
    area = upper;
    DrawTextA(splash.dc, title, -1, &area, kTitleFlags);
    area = lower;
    DrawTextA(splash.dc, subtitle, -1, &area, kSubtitleFlags);
}

void SplashRelease(Splash &splash)
{
    if (splash.dc) {
        if (splash.previousFont)
            SelectObject(splash.dc, splash.previousFont);
        ReleaseDC(splash.window, splash.dc);
    }
    if (splash.font)
        DeleteObject(splash.font);
    if (splash.brush)
        DeleteObject(splash.brush);
    splash = Splash();
}
