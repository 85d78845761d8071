#include "check/check_artwork.h"

#include <cstdio>
#include <cstring>

#include "artwork/lookup.h"
#include "check/check.h"
#include "config/settings.h"
#include "emulator/facts.h"

int CheckPicture(int argc, char **argv)
{
    const bool mame = argc >= 2 && argc <= 3 && strcmp(argv[0], "mame") == 0;
    const bool mess = argc >= 3 && argc <= 4 && strcmp(argv[0], "mess") == 0;
    if (!mame && !mess) {
        fprintf(stderr, "usage: picture mame GAME [PARENT] | picture mess SYSTEM SOFTWARE [PARENT]\n");
        return 2;
    }
    // The optional last word names the parent; else the machine's facts do,
    // as in the saver (when the emulator is set up and answers).
    const char *parent = argc == (mame ? 3 : 4) ? argv[argc - 1] : "";
    MachineFacts facts;
    bool fromCache = false;
    if (argc == (mame ? 2 : 3) && (mame ? MamePath : MessPath)[0] &&
        GetMachineFacts(mame ? MamePath : MessPath, mame ? MameExe : MessExe, argv[1], &facts,
                        &fromCache))
        parent = facts.cloneOf.c_str();
    char path[kPicturePathBytes];
    int mode = 0;
    int found = mame ? GetMAMEPictureFor(path, argv[1], parent, &mode)
                     : GetMESSPictureFor(path, argv[1], parent, argv[2], &mode);
    if (!found) {
        printf("none\n");
        return 1;
    }
    printf("%s\t%d\n", AsShown(path).c_str(), mode);
    return 0;
}
