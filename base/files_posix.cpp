#include "base/files.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "base/format.h"

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

bool GetFileStamp(const char *path, FileStamp *stamp)
{
    struct stat info;
    if (stat(NativePath(path).c_str(), &info) != 0 || S_ISDIR(info.st_mode))
        return false;
    stamp->size = static_cast<uint64_t>(info.st_size);
    stamp->writeTime = static_cast<uint64_t>(info.st_mtim.tv_sec) * 1000000000u +
                       static_cast<uint64_t>(info.st_mtim.tv_nsec);
    return true;
}

bool GetEntryStamp(const char *path, FileStamp *stamp)
{
    struct stat info;
    if (stat(NativePath(path).c_str(), &info) != 0)
        return false;
    stamp->size = S_ISDIR(info.st_mode) ? 0 : static_cast<uint64_t>(info.st_size);
    stamp->writeTime = static_cast<uint64_t>(info.st_mtim.tv_sec) * 1000000000u +
                       static_cast<uint64_t>(info.st_mtim.tv_nsec);
    return true;
}

static bool MakeFolder(const char *path)
{
    return mkdir(path, 0700) == 0 || errno == EEXIST;
}

bool GetCacheFolder(char *folder, size_t size)
{
    const char *base = getenv("XDG_CACHE_HOME");
    bool made = false;
    // XDG: a relative XDG_CACHE_HOME is ignored, as if unset.
    if (base && base[0] == '/')
        made = MakeFolder(base) && FormatText(folder, size, "%s/quillmere", base);
    else if ((base = getenv("HOME")) && *base) {
        char cache[4096];
        made = FormatText(cache, sizeof cache, "%s/.cache", base) && MakeFolder(cache) &&
               FormatText(folder, size, "%s/quillmere", cache);
    }
    if (!made || !MakeFolder(folder)) {
        if (size > 0)
            folder[0] = '\0';
        return false;
    }
    return true;
}

bool ReplaceFileWith(const char *temporary, const char *target)
{
    std::string from = NativePath(temporary);
    if (rename(from.c_str(), NativePath(target).c_str()) == 0)
        return true;
    unlink(from.c_str());
    return false;
}

bool RemoveFile(const char *path)
{
    return unlink(NativePath(path).c_str()) == 0;
}

unsigned long CurrentProcessId()
{
    return static_cast<unsigned long>(getpid());
}

bool ProcessRuns(unsigned long id)
{
    // 0 and ids beyond pid_t would name a process group or wrap around.
    if (id == 0 || id > 0x7fffffffu)
        return false;
    return kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM;
}
