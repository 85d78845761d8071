#include "saver/splash.h"

#include <cstring>
#include <initializer_list>
#include <iterator>

#include "artwork/picture.h"

namespace {

// The splash font at a height; DEFAULT_CHARSET lets the font mapper (and its
// linked fonts) find glyphs for every script a name may be written in.
HFONT SplashFont(int height, int weight)
{
    return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0,
                       L"Arial");
}

// Texts come in the active code page. The narrow DrawText reads them in the
// font's code page instead, so they go through the wide-character call.
void DrawActiveText(HDC dc, const char *text, RECT *area, UINT flags)
{
    wchar_t wide[1024];
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide, static_cast<int>(std::size(wide))) > 0)
        DrawTextW(dc, wide, -1, area, flags);
}

// One painting of the splash: the window's device context, the dark brush
// and the splash font, given back when it ends.
class SplashPainting {
public:
    explicit SplashPainting(HWND window) : window_(window), dc_(GetDC(window))
    {
        area_ = SplashArea(window);
        brush_ = CreateSolidBrush(kBackgroundColour);
        font_ = SplashFont(SplashFontHeight(dc_), 900);
        previousFont_ = SelectObject(dc_, font_);
        SetBkMode(dc_, TRANSPARENT);
        RECT client;
        GetClientRect(window, &client);
        FillRect(dc_, &client, brush_);
    }
    ~SplashPainting()
    {
        SelectObject(dc_, previousFont_);
        ReleaseDC(window_, dc_);
        DeleteObject(font_);
        DeleteObject(brush_);
    }
    SplashPainting(const SplashPainting &) = delete;
    SplashPainting &operator=(const SplashPainting &) = delete;

    HDC dc() const { return dc_; }
    const RECT &area() const { return area_; }

    void Text(const char *text, RECT area, UINT flags, COLORREF colour)
    {
        SetTextColor(dc_, colour);
        // DrawText may change the rectangle it is given.
        DrawActiveText(dc_, text, &area, flags);
    }

private:
    HWND window_;
    HDC dc_;
    RECT area_;
    HBRUSH brush_;
    HFONT font_;
    HGDIOBJ previousFont_;
};

// Some window systems (Wine's among them) put what was painted on the screen
// only when the program next looks at its message queue; a look that takes
// nothing out shows it at once.
void ShowPaintedNow()
{
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
}

// A short line under "Searching..."; line 1 goes under line 0.
void PaintNote(HDC dc, const RECT &area, const char *note, int line)
{
    HFONT font = SplashFont(SplashFontHeight(dc) * 3 / 8, 700);
    HGDIOBJ previous = SelectObject(dc, font);
    int middle = (area.top + area.bottom) / 2;
    int height = (area.bottom - area.top) / 8;
    RECT box = {area.left, middle + height * (line + 1), area.right, middle + height * (line + 2)};
    DrawActiveText(dc, note, &box, kTitleFlags);
    SelectObject(dc, previous);
    DeleteObject(font);
}

// The decoded rows become a DIB section in one block copy.
void PaintPictureIn(HDC dc, const RECT &area, const RoundPicture &picture)
{
    if (picture.pixels.empty())
        return;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;   // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap)
        return;
    memcpy(bits, picture.pixels.data(), picture.pixels.size());
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    RECT pictureRect = {0, 0, picture.width, picture.height};
    int saved = SaveDC(dc);
    IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
    SetViewportOrgEx(dc, area.left, area.top, nullptr);
    PaintPicture(dc, area.right - area.left, area.bottom - area.top, memory, &pictureRect,
                 picture.mode);
    RestoreDC(dc, saved);
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(bitmap);
}

}   // namespace

int SplashFontHeight(HDC dc)
{
    return -MulDiv(56, GetDeviceCaps(dc, LOGPIXELSY), 72);
}

RECT SplashArea(HWND window)
{
    // The window's client area starts at the virtual screen's corner; the
    // primary monitor starts at (0, 0) of the screen.
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    RECT area = {-origin.x, -origin.y, GetSystemMetrics(SM_CXSCREEN) - origin.x,
                 GetSystemMetrics(SM_CYSCREEN) - origin.y};
    RECT client;
    GetClientRect(window, &client);
    // A window that is not full-screen (tools, tests) keeps its own area.
    if (client.right < area.right - area.left || client.bottom < area.bottom - area.top)
        return client;
    return area;
}

void PaintSearchingScreen(HWND window, const char *note, const char *secondNote)
{
    SplashPainting splash(window);
    splash.Text("Searching...", splash.area(), kTitleFlags, kSearchingColour);
    int line = 0;
    for (const char *text : {note, secondNote})
        if (text && text[0])
            PaintNote(splash.dc(), splash.area(), text, line++);
    ShowPaintedNow();
}

void PaintRoundScreen(HWND window, const Round &round)
{
    SplashPainting splash(window);
    const RECT &area = splash.area();
    PaintPictureIn(splash.dc(), area, round.picture);

    int half = area.top + (area.bottom - area.top) / 2;
    RECT upper = {area.left, area.top, area.right, half};
    RECT lower = {area.left, half, area.right, area.bottom};
    splash.Text(round.title, upper, kTitleFlags, kShadowColour);
    splash.Text(round.subtitle, lower, kSubtitleFlags, kShadowColour);
    OffsetRect(&upper, -1, -1);
    OffsetRect(&lower, -1, -1);
    splash.Text(round.title, upper, kTitleFlags, kTitleColour);
    splash.Text(round.subtitle, lower, kSubtitleFlags, kTitleColour);
    ShowPaintedNow();
}

void PaintDarkScreen(HWND window)
{
    HDC dc = GetDC(window);
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    ReleaseDC(window, dc);
    GdiFlush();
}

void PaintNoticeScreen(HWND window, const wchar_t *text)
{
    SplashPainting splash(window);
    HFONT font = SplashFont(SplashFontHeight(splash.dc()) / 2, 700);
    HGDIOBJ previous = SelectObject(splash.dc(), font);
    SetTextColor(splash.dc(), kSearchingColour);
    RECT area = splash.area();
    InflateRect(&area, -(area.right - area.left) / 10, 0);
    // Wrapped text is drawn from the top: centre its measured height.
    RECT measured = area;
    int height = DrawTextW(splash.dc(), text, -1, &measured, kSubtitleFlags | DT_CALCRECT);
    area.top += (area.bottom - area.top - height) / 2;
    DrawTextW(splash.dc(), text, -1, &area, kSubtitleFlags);
    SelectObject(splash.dc(), previous);
    DeleteObject(font);
    ShowPaintedNow();
}
