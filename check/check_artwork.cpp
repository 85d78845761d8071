#include "check/check_artwork.h"

#include <cstdio>
#include <cstring>

#include "artwork/lookup.h"

int CheckPicture(int argc, char **argv)
{
    const bool mame = argc == 2 && strcmp(argv[0], "mame") == 0;
    const bool mess = argc == 3 && strcmp(argv[0], "mess") == 0;
    if (!mame && !mess) {
        fprintf(stderr, "usage: picture mame GAME | picture mess SYSTEM SOFTWARE\n");
        return 2;
    }
    char path[kPicturePathBytes];
    int mode = 0;
    int found = mame ? GetMAMEPicture(path, argv[1], &mode) : GetMESSPicture(path, argv[1], argv[2], &mode);
    if (!found) {
        printf("none\n");
        return 1;
    }
    printf("%s\t%d\n", path, mode);
    return 0;
}
