// The PNG decoder on arbitrary bytes, written to a file because the decoder reads files.
#include <cstdint>
#include <cstdlib>

#include "artwork/png.h"
#include "fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    RgbPicture picture;
    const char *path = InputAsFile("png", "png", data, size);
    if (!path || !DecodePNGFile(path, &picture))
        return 0;
    if (picture.width <= 0 || picture.height <= 0)
        abort();
    // Every decoded byte is read, so a short row shows to the sanitizer.
    unsigned sum = 0;
    for (int y = 0; y < picture.height; y++)
        for (int x = 0; x < picture.width * 3; x++)
            sum += picture.rows[y][x];
    FreeRgbPicture(&picture);
    (void)sum;
    return 0;
}
