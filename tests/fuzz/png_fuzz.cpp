// The PNG decoder on arbitrary bytes, written to a temporary file because
// the decoder reads files.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "artwork/png.h"

static std::string TempPath()
{
    return "/tmp/quillmere-png-fuzz-" + std::to_string(getpid()) + ".png";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string path = TempPath();
    FILE *file = fopen(path.c_str(), "wb");
    if (!file)
        return 0;
    fwrite(data, 1, size, file);
    fclose(file);
    RgbPicture picture;
    if (DecodePNGFile(path.c_str(), &picture)) {
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
