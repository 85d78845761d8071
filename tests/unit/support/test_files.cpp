#include "support/test_files.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <sstream>

std::vector<std::string> FilesEndingIn(const std::string &folder, const std::string &suffix,
                                       char separator)
{
    std::vector<std::string> files;
    DIR *dir = opendir(folder.c_str());
    while (dirent *entry = dir ? readdir(dir) : nullptr) {
        std::string name = entry->d_name;
        if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            files.push_back(folder + separator + name);
    }
    if (dir)
        closedir(dir);
    std::sort(files.begin(), files.end());
    return files;
}

std::string ReadWhole(const std::string &path)
{
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

#ifdef _WIN32
std::string ExecutableFolder()
{
    char path[MAX_PATH];
    std::string program(path, GetModuleFileNameA(nullptr, path, sizeof path));
    return program.substr(0, program.find_last_of("\\/") + 1);
}
#else
std::string CommandOutput(const std::string &command, bool *ok)
{
    std::string text;
    FILE *pipe = popen(command.c_str(), "r");
    char buffer[65536];
    for (size_t got; pipe && (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        text.append(buffer, got);
    int status = pipe ? pclose(pipe) : -1;
    if (ok)
        *ok = status == 0;
    return text;
}
#endif
