#include "check/check_artwork.h"

#include <cstdio>
#include <cstring>

#include "artwork/lookup.h"

int CheckPicture(int argc, char **argv)
{
    // The optional last word is the clone's parent.
    const bool mame = argc >= 2 && argc <= 3 && strcmp(argv[0], "mame") == 0;
    const bool mess = argc >= 3 && argc <= 4 && strcmp(argv[0], "mess") == 0;
    if (!mame && !mess) {
        fprintf(stderr, "usage: picture mame GAME [PARENT] | picture mess SYSTEM SOFTWARE [PARENT]\n");
        return 2;
    }
    const char *parent = argc == (mame ? 3 : 4) ? argv[argc - 1] : "";
    char path[kPicturePathBytes];
    int mode = 0;
    int found = mame ? GetMAMEPictureFor(path, argv[1], parent, &mode)
                     : GetMESSPictureFor(path, argv[1], parent, argv[2], &mode);
    if (!found) {
        printf("none\n");
        return 1;
    }
    printf("%s\t%d\n", path, mode);
    return 0;
}
