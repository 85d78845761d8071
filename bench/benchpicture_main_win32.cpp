// Times the splash picture path on the given PNG files: decoding alone,
// load (decode + block copy into the bitmap) + paint, and the same with the
// per-pixel copy. Usage: benchpicture [-n RUNS] FILE.png...
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "artwork/picture.h"
#include "artwork/png.h"

namespace {

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Load + paint + release, as the run cycle does it; milliseconds, or -1.
double LoadAndPaint(const char *path, HWND window, PictureFill fill)
{
    double start = Now();
    RECT rect;
    HDC picture = LoadPNGintoBITMAPWith(path, window, &rect, fill);
    if (!picture)
        return -1;
    DisplayPNGBitmap(picture, window, &rect, 0);
    GdiFlush();
    FreeLoadedPicture(picture);
    return Now() - start;
}

}  // namespace

int main(int argc, char **argv)
{
    int runs = 7;
    int first = 1;
    if (argc > 2 && strcmp(argv[1], "-n") == 0) {
        runs = std::max(1, atoi(argv[2]));
        first = 3;
    }
    if (first >= argc) {
        fprintf(stderr, "usage: benchpicture [-n RUNS] FILE.png...\n");
        return 2;
    }
    HWND window = MakeUnseenWindow(1024, 768);
    int failures = 0;
    printf("%-28s %10s %12s %10s %12s %10s\n", "picture", "decode ms", "load+paint", "ratio",
           "per-pixel", "ratio");
    for (int i = first; i < argc; i++) {
        std::vector<double> decode, block, perPixel;
        for (int r = 0; r < runs; r++) {
            double start = Now();
            RgbPicture rgb;
            if (!DecodePNGFile(argv[i], &rgb)) {
                fprintf(stderr, "%s: cannot decode\n", argv[i]);
                failures++;
                break;
            }
            FreeRgbPicture(&rgb);
            decode.push_back(Now() - start);
            block.push_back(LoadAndPaint(argv[i], window, PictureFill::Block));
            // The per-pixel copy is slow: a few runs tell enough.
            if (r < 3)
                perPixel.push_back(LoadAndPaint(argv[i], window, PictureFill::PerPixel));
        }
        if (decode.empty())
            continue;
        const char *name = strrchr(argv[i], '\\') ? strrchr(argv[i], '\\') + 1 : argv[i];
        double d = Median(decode), b = Median(block), p = Median(perPixel);
        printf("%-28s %10.1f %12.1f %9.2fx %12.1f %9.2fx\n", name, d, b, b / d, p, p / d);
    }
    DestroyWindow(window);
    return failures ? 1 : 0;
}
