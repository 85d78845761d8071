#include "check/check_artwork.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "artwork/picture.h"
#include "saver/splash.h"

namespace {

// Copies the client area into a 24-bit bottom-up BMP file.
bool WriteClientBmp(HWND window, int width, int height, const char *outPath)
{
    HDC windowDC = GetDC(window);
    HDC memoryDC = CreateCompatibleDC(windowDC);
    HBITMAP bitmap = CreateCompatibleBitmap(windowDC, width, height);
    HGDIOBJ previous = SelectObject(memoryDC, bitmap);
    BitBlt(memoryDC, 0, 0, width, height, windowDC, 0, 0, SRCCOPY);
    SelectObject(memoryDC, previous);

    const int stride = (width * 3 + 3) & ~3;
    std::vector<unsigned char> pixels(static_cast<size_t>(stride) * height);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;   // bottom-up, as BMP files store it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    int rows = GetDIBits(memoryDC, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memoryDC);
    ReleaseDC(window, windowDC);
    if (rows != height)
        return false;

    BITMAPFILEHEADER file = {};
    file.bfType = 0x4d42;   // "BM"
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size());
    info.bmiHeader.biSizeImage = static_cast<DWORD>(pixels.size());
    FILE *out = fopen(outPath, "wb");
    if (!out)
        return false;
    bool ok = fwrite(&file, sizeof file, 1, out) == 1
        && fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1
        && fwrite(pixels.data(), 1, pixels.size(), out) == pixels.size();
    return fclose(out) == 0 && ok;
}

}  // namespace

int CheckRender(int argc, char **argv)
{
    int width = 0, height = 0;
    char *end = nullptr;
    if (argc != 4 || sscanf(argv[1], "%dx%d", &width, &height) != 2 || width <= 0 || height <= 0
        || width > 16384 || height > 16384) {
        fprintf(stderr, "usage: render PICTURE.png|ARCHIVE.zip\\MEMBER WIDTHxHEIGHT MODE OUT.bmp\n");
        return 2;
    }
    long mode = strtol(argv[2], &end, 10);
    if (*end || (mode != 0 && mode != 1)) {
        fprintf(stderr, "render: MODE is 0 (snapshot) or 1 (artwork)\n");
        return 2;
    }
    HWND window = MakeUnseenWindow(width, height);
    if (!window) {
        fprintf(stderr, "render: cannot create the window\n");
        return 1;
    }
    HDC dc = GetDC(window);
    HBRUSH brush = CreateSolidBrush(kBackgroundColour);
    RECT all = {0, 0, width, height};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    ReleaseDC(window, dc);

    int result = 0;
    RECT pictureRect;
    HDC picture = LoadPNGintoBITMAP(argv[0], window, &pictureRect);
    if (!picture) {
        fprintf(stderr, "render: %s cannot be loaded as a picture\n", argv[0]);
        result = 1;
    } else {
        DisplayPNGBitmap(picture, window, &pictureRect, static_cast<int>(mode));
        FreeLoadedPicture(picture);
        if (!WriteClientBmp(window, width, height, argv[3])) {
            fprintf(stderr, "render: cannot write %s\n", argv[3]);
            result = 1;
        } else {
            printf("%s: %ldx%ld picture, mode %ld, %dx%d window -> %s\n", argv[0], pictureRect.right,
                   pictureRect.bottom, mode, width, height, argv[3]);
        }
    }
    DestroyWindow(window);
    return result;
}
