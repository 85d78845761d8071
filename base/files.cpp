#include "base/files.h"

bool FileCanBeOpened(const char *path)
{
    FILE *file = OpenFile(path, "rb");
    if (!file)
        return false;
    fclose(file);
    return true;
}
