#include "base/files.h"

#include <cerrno>
#include <string>
#include <sys/stat.h>

static std::string NativePath(const char *path)
{
    std::string native(path);
    for (char &c : native)
        if (c == '\\')
            c = '/';
    return native;
}

FILE *OpenFile(const char *path, const char *mode)
{
    std::string native = NativePath(path);
    // The Windows runtime refuses to open a folder as a file; callers rely on
    // that (a sub-folder is never taken for a picture or an executable).
    struct stat info;
    if (stat(native.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        errno = EACCES;
        return nullptr;
    }
    return fopen(native.c_str(), mode);
}

DIR *OpenFolder(const char *path)
{
    return opendir(NativePath(path).c_str());
}

bool IsPathSeparator(char c)
{
    return c == '\\' || c == '/';
}
