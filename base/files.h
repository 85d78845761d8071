// Opening files and folders by the Windows-style paths the program builds.
// On Windows these are the runtime's own calls; the native build turns the
// backslashes into slashes first, so the same core code runs in tests.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <dirent.h>

FILE *OpenFile(const char *path, const char *mode);

// opendir on the path; errno is left as opendir set it (ENOTDIR for a path
// that names a file, ENOENT for a missing one).
DIR *OpenFolder(const char *path);

// True when the file at path can be opened for reading.
bool FileCanBeOpened(const char *path);

// True for a character that separates the folders of a path: the backslash,
// and natively the slash too, so native paths are taken as they are written.
bool IsPathSeparator(char c);

// What tells one version of a file from another: its size and last-write
// time (in the platform's own units). False when path names no file.
struct FileStamp {
    uint64_t size = 0;
    uint64_t writeTime = 0;
};
bool GetFileStamp(const char *path, FileStamp *stamp);

// The same for a file or a folder (a folder's size counts as 0).
bool GetEntryStamp(const char *path, FileStamp *stamp);

// The folder for this program's cache files, created when missing:
// %LOCALAPPDATA%\Quillmere on Windows; natively $XDG_CACHE_HOME/quillmere
// when that variable holds an absolute path, else $HOME/.cache/quillmere. False when there is none (no such variable,
// or the folder cannot be made): the caller then keeps its cache in memory.
bool GetCacheFolder(char *folder, size_t size);

// Puts the finished file temporary in the place of target in one step, so a
// reader sees the old file or the new one, never a half-written one. On
// failure the temporary file is removed and target stays as it was.
bool ReplaceFileWith(const char *temporary, const char *target);

// Removes the file at path; false when it could not be removed.
bool RemoveFile(const char *path);

// This process's id, to give temporary files names no other process uses.
unsigned long CurrentProcessId();

// True while a process of that id runs: a temporary file named after it may
// still be written; one named after an ended process is a leftover.
bool ProcessRuns(unsigned long id);
