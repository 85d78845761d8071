// The PNG decoder on arbitrary bytes, written to a temporary file because
// the decoder reads files.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "artwork/png.h"
#include "fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *path = InputAsFile("png", "png", data, size);
    if (!path)
        return 0;
    RgbPicture picture;
    if (DecodePNGFile(path, &picture)) {
        // Touch every decoded byte so a short row would be seen by ASan.
        unsigned sum = 0;
        for (int y = 0; y < picture.height; y++)
            for (int x = 0; x < picture.width * 3; x++)
                sum += picture.rows[y][x];
        if (picture.width <= 0 || picture.height <= 0)
            abort();
        FreeRgbPicture(&picture);
        (void)sum;
    }
    return 0;
}
