#include "artwork/picture.h"

#include <cstdint>
#include <cstdlib>

#include "artwork/layout.h"
#include "artwork/png.h"

namespace {

// Copies the rows into the (not yet selected) bitmap in one SetDIBits call,
// through a top-down 32-bit DIB: blue, green, red, unused per pixel.
bool CopyRowsAsBlock(HDC windowDC, HBITMAP bitmap, const RgbPicture &rgb)
{
    const size_t width = static_cast<size_t>(rgb.width);
    uint32_t *bits = static_cast<uint32_t *>(malloc(width * rgb.height * sizeof(uint32_t)));
    if (!bits)
        return false;
    for (int y = 0; y < rgb.height; y++) {
        const unsigned char *in = rgb.rows[y];
        uint32_t *out = bits + width * y;
        for (size_t x = 0; x < width; x++, in += 3)
            out[x] = static_cast<uint32_t>(in[2]) | static_cast<uint32_t>(in[1]) << 8
                | static_cast<uint32_t>(in[0]) << 16;
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = rgb.width;
    info.bmiHeader.biHeight = -rgb.height;   // negative: top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    int copied = SetDIBits(windowDC, bitmap, 0, static_cast<UINT>(rgb.height), bits, &info,
                           DIB_RGB_COLORS);
    free(bits);
    return copied == rgb.height;
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
    RgbPicture rgb;
    if (!DecodePNGFile(path, &rgb))
        return nullptr;
    picture->left = 0;
    picture->top = 0;
    picture->right = rgb.width;
    picture->bottom = rgb.height;

    HDC windowDC = GetDC(window);
    HDC memoryDC = windowDC ? CreateCompatibleDC(windowDC) : nullptr;
    HBITMAP bitmap = memoryDC ? CreateCompatibleBitmap(windowDC, rgb.width, rgb.height) : nullptr;
    bool filled = false;
    if (bitmap) {
        // SetDIBits wants the bitmap not yet selected into any context.
        filled = method == PictureFill::Block ? CopyRowsAsBlock(windowDC, bitmap, rgb) : true;
        SelectObject(memoryDC, bitmap);
        if (method == PictureFill::PerPixel)
            CopyRowsPixelByPixel(memoryDC, rgb);
    }
    if (windowDC)
        ReleaseDC(window, windowDC);
    FreeRgbPicture(&rgb);
    if (!filled) {
        FreeLoadedPicture(memoryDC);   // and the bitmap selected into it
        return nullptr;
    }
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
