#include "artwork/picture.h"

#include <cstdlib>

#include "artwork/layout.h"
#include "artwork/png.h"

namespace {

// The splash bitmap as a top-down 24-bit DIB section (blue, green, red per
// pixel, rows padded to 4 bytes), made once the picture's size is known; the decoder
// writes its rows straight into it, so the picture is never copied again.
struct Section {
    HDC windowDC;
    HBITMAP bitmap;
    unsigned char **rows;
    int width, height;
};

unsigned char **MakeSectionRows(void *context, int width, int height)
{
    Section *section = static_cast<Section *>(context);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;   // negative: top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    section->width = width;
    section->height = height;
    void *bits = nullptr;
    section->bitmap = CreateDIBSection(section->windowDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!section->bitmap || !bits)
        return nullptr;
    section->rows = static_cast<unsigned char **>(malloc(sizeof(unsigned char *) * height));
    if (!section->rows)
        return nullptr;
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
    for (int y = 0; y < height; y++)
        section->rows[y] = static_cast<unsigned char *>(bits) + stride * static_cast<size_t>(y);
    return section->rows;
}

void CopyRowsPixelByPixel(HDC memoryDC, const RgbPicture &rgb)
{
    for (int y = 0; y < rgb.height; y++) {
        const unsigned char *row = rgb.rows[y];
        for (int x = 0; x < rgb.width; x++)
            SetPixel(memoryDC, x, y, RGB(row[3 * x], row[3 * x + 1], row[3 * x + 2]));
    }
}

}  // namespace

HDC LoadPNGintoBITMAPWith(const char *path, HWND window, RECT *picture, PictureFill method)
{
    HDC windowDC = GetDC(window);
    if (!windowDC)
        return nullptr;
    HDC memoryDC = CreateCompatibleDC(windowDC);
    HBITMAP bitmap = nullptr;
    int width = 0, height = 0;
    if (memoryDC && method == PictureFill::Block) {
        Section section = {windowDC, nullptr, nullptr, 0, 0};
        bool decoded = DecodePNGInto(path, {PngPixels::Bgr, MakeSectionRows, &section});
        free(section.rows);
        if (decoded) {
            GdiFlush();
            bitmap = section.bitmap;
            width = section.width;
            height = section.height;
        } else if (section.bitmap) {
            DeleteObject(section.bitmap);
        }
        if (bitmap)
            SelectObject(memoryDC, bitmap);
    } else if (memoryDC) {
        RgbPicture rgb;
        if (DecodePNGFile(path, &rgb)) {
            bitmap = CreateCompatibleBitmap(windowDC, rgb.width, rgb.height);
            if (bitmap) {
                SelectObject(memoryDC, bitmap);
                CopyRowsPixelByPixel(memoryDC, rgb);
                width = rgb.width;
                height = rgb.height;
            }
            FreeRgbPicture(&rgb);
        }
    }
    ReleaseDC(window, windowDC);
    if (!bitmap) {
        if (memoryDC)
            DeleteDC(memoryDC);
        return nullptr;
    }
    picture->left = 0;
    picture->top = 0;
    picture->right = width;
    picture->bottom = height;
    return memoryDC;
}

HDC LoadPNGintoBITMAP(const char *path, HWND window, RECT *picture)
{
    return LoadPNGintoBITMAPWith(path, window, picture, PictureFill::Block);
}

void PaintPicture(HDC target, int clientWidth, int clientHeight, HDC picture,
                  const RECT *pictureRect, int mode)
{
    const int pw = pictureRect->right - pictureRect->left;
    const int ph = pictureRect->bottom - pictureRect->top;
    const PictureLayout layout = ComputePictureLayout(clientWidth, clientHeight, pw, ph, mode);
    switch (layout.kind) {
    case PictureLayoutKind::Nothing:
        break;
    case PictureLayoutKind::Stretch:
    case PictureLayoutKind::Fitted:
        // The default mode ANDs the rows a shrink drops into the ones it keeps:
        // a gradient gets black lines. Dropping them leaves true colours.
        SetStretchBltMode(target, COLORONCOLOR);
        StretchBlt(target, layout.dest.x, layout.dest.y, layout.dest.width, layout.dest.height,
                   picture, pictureRect->left, pictureRect->top, pw, ph, SRCCOPY);
        break;
    case PictureLayoutKind::Tiles:
        // Tiles wholly outside the window would be clipped away; skipping
        // them keeps a tiny picture from costing thousands of idle copies.
        for (int i = 0; i < layout.columns; i++)
            for (int j = 0; j < layout.rows; j++) {
                const ::PictureCopy tile = TileCopy(layout, i, j);
                if (CopyTouchesClient(tile, clientWidth, clientHeight))
                    BitBlt(target, tile.x, tile.y, pw, ph, picture, pictureRect->left,
                           pictureRect->top, SRCCOPY);
            }
        break;
    }
}

void DisplayPNGBitmap(HDC picture, HWND window, const RECT *pictureRect, int mode)
{
    RECT client;
    if (!GetClientRect(window, &client))
        return;
    HDC windowDC = GetDC(window);
    if (!windowDC)
        return;
    PaintPicture(windowDC, client.right - client.left, client.bottom - client.top, picture,
                 pictureRect, mode);
    ReleaseDC(window, windowDC);
}

void FreeLoadedPicture(HDC picture)
{
    if (!picture)
        return;
    // Deleting the context frees its bitmap from it; then the bitmap can go.
    // A context that never got ours holds the stock 1x1 bitmap, which
    // DeleteObject leaves alone.
    HGDIOBJ bitmap = GetCurrentObject(picture, OBJ_BITMAP);
    DeleteDC(picture);
    if (bitmap)
        DeleteObject(bitmap);
}

HWND MakeUnseenWindow(int width, int height)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "QuillmereUnseen";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE,
                                  windowClass.lpszClassName, "", WS_POPUP, 0, 0, width, height,
                                  nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window)
        return nullptr;
    SetLayeredWindowAttributes(window, 0, 0, LWA_ALPHA);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    return window;
}
