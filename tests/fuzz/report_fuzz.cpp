// Arbitrary bytes as the emulator's -listxml report, for every scan of it.
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "config/settings.h"
#include "emulator/report.h"
#include "emulator/runner.h"

static const uint8_t *input;
static size_t inputSize;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    input = data, inputSize = size;
    SetCommandRunner([](char *, char *output) {   // as a runner hands it out: at most 99999 bytes and a NUL
        size_t n = inputSize < size_t(kRunnerOutputBytes - 1) ? inputSize : size_t(kRunnerOutputBytes - 1);
        memcpy(output, input, n);
        output[n] = '\0';
        return 0;
    });
    strcpy(MessExe, "mess.exe");
    char device[1024], description[1024], year[1024];
    for (const char *file : {"x.bin", "dir\\GAME.ROM", "x.", "nodot", "a.jpeg", "x.a"})
        GetDeviceByExtension("C:\\Mess", "sys", file, device);
    IsDriverImperfect("C:\\Mame", "mame.exe", "game");
    GetDriverInformation("C:\\Mame", "mame.exe", "game", description, year);
    return 0;
}
