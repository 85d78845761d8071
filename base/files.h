// Opening files and folders by the Windows-style paths the program builds.
// On Windows these are the runtime's own calls; the native build turns the
// backslashes into slashes first, so the same core code runs in tests.
#pragma once
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
