#include "base/files.h"

#include <windows.h>

#include "base/format.h"

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

bool GetFileStamp(const char *path, FileStamp *stamp)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    stamp->size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    stamp->writeTime = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                       data.ftLastWriteTime.dwLowDateTime;
    return true;
}

bool GetEntryStamp(const char *path, FileStamp *stamp)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return false;
    bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    stamp->size = folder ? 0 : (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    stamp->writeTime = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                       data.ftLastWriteTime.dwLowDateTime;
    return true;
}

bool GetCacheFolder(char *folder, size_t size)
{
    char local[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("LOCALAPPDATA", local, sizeof local);
    if (length == 0 || length >= sizeof local ||
        !FormatText(folder, size, "%s\\Quillmere", local))
        return false;
    if (!CreateDirectoryA(folder, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        folder[0] = '\0';
        return false;
    }
    return true;
}

bool ReplaceFileWith(const char *temporary, const char *target)
{
    if (MoveFileExA(temporary, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileA(temporary);
    return false;
}

bool RemoveFile(const char *path)
{
    return DeleteFileA(path) != FALSE;
}

unsigned long CurrentProcessId()
{
    return GetCurrentProcessId();
}

bool ProcessRuns(unsigned long id)
{
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
    if (!process)
        return GetLastError() == ERROR_ACCESS_DENIED;   // another user's
    bool runs = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return runs;
}
