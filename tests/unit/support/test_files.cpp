#include "support/test_files.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dirent.h>

std::vector<std::string> FilesEndingIn(const std::string &folder, const std::string &suffix,
                                       char separator)
{
    std::vector<std::string> files;
    if (DIR *dir = opendir(folder.c_str())) {
        while (dirent *entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name.size() > suffix.size() &&
                name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                files.push_back(folder + separator + name);
        }
        closedir(dir);
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> FolderEntries(const std::string &folder, bool *listed)
{
    std::vector<std::string> names;
    DIR *dir = opendir(folder.c_str());
    if (listed)
        *listed = dir != nullptr;
    if (!dir)
        return names;
    while (dirent *entry = readdir(dir))
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
            names.push_back(entry->d_name);
    closedir(dir);
    return names;
}

std::string ReadWhole(const std::string &path)
{
    std::string bytes;
    if (FILE *f = fopen(path.c_str(), "rb")) {
        char buffer[4096];
        size_t got;
        while ((got = fread(buffer, 1, sizeof buffer, f)) > 0)
            bytes.append(buffer, got);
        fclose(f);
    }
    return bytes;
}

#ifdef _WIN32
std::string ExecutableFolder()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string program(path, length);
    return program.substr(0, program.find_last_of("\\/") + 1);
}
#endif

#ifndef _WIN32
std::string CommandOutput(const std::string &command, bool *ok)
{
    std::string text;
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) {
        if (ok)
            *ok = false;
        return text;
    }
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        text.append(buffer, got);
    int status = pclose(pipe);
    if (ok)
        *ok = status == 0;
    return text;
}
#endif
