// How the screen saver host reads its command line.
#pragma once
#include <cstdint>

enum class SaverMode { Configure, Run, Preview, Password };

struct SaverCommand {
    SaverMode mode;
    uintptr_t parent;   // preview: the decimal window handle after P; else 0
};

// The first of the letters S, P, C or A (either case) selects the mode; other
// characters are skipped. No letter at all means the configuration dialog.
SaverCommand ParseSaverCommandLine(const char *commandLine);
