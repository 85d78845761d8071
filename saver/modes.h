// How the screen saver host reads its command line.
#pragma once
#include <cstdint>

enum class SaverMode { Configure, Run, Preview, Password };

struct SaverCommand {
    SaverMode mode;
    uintptr_t parent;   // the decimal window handle after P (the preview's parent)
                        // or after C (the dialog's owner); else 0
};

// The first of the letters S, P, C or A (either case) selects the mode; other
// characters are skipped. No letter at all means the configuration dialog.
SaverCommand ParseSaverCommandLine(const char *commandLine);
