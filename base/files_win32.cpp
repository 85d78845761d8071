#include "base/files.h"

FILE *OpenFile(const char *path, const char *mode)
{
    return fopen(path, mode);
}

DIR *OpenFolder(const char *path)
{
    return opendir(path);
}

bool IsPathSeparator(char c)
{
    return c == '\\';
}
