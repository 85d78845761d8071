// Feeds arbitrary bytes to the -listxml scans as the emulator's report.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "config/settings.h"
#include "emulator/report.h"
#include "emulator/runner.h"

static const uint8_t *input;
static size_t inputSize;

// Hands the input out as a runner would: at most 99999 bytes and a NUL.
static int InputAsReport(char *, char *output)
{
    size_t n = inputSize < static_cast<size_t>(kRunnerOutputBytes - 1)
                   ? inputSize
                   : static_cast<size_t>(kRunnerOutputBytes - 1);
    memcpy(output, input, n);
    output[n] = '\0';
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    input = data;
    inputSize = size;
    SetCommandRunner(InputAsReport);
    strcpy(MessExe, "mess.exe");

    static const char *const files[] = {"x.bin", "dir\\GAME.ROM", "x.", "nodot", "a.jpeg", "x.a"};
    for (const char *file : files) {
        char device[1024];
        GetDeviceByExtension("C:\\Mess", "sys", file, device);
    }
    IsDriverImperfect("C:\\Mame", "mame.exe", "game");
    char description[1024], year[1024];
    GetDriverInformation("C:\\Mame", "mame.exe", "game", description, year);
    return 0;
}
