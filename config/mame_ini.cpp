#include "config/mame_ini.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

std::vector<std::string> MameIniFoldersIn(const std::string &iniText, const char *key,
                                          const std::string &home)
{
    std::istringstream lines(iniText);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string first, value;
        if (!(words >> first) || first != key)
            continue;
        std::getline(words >> std::ws, value);
        while (!value.empty() && (value.back() == '\r' || value.back() == ' ' || value.back() == '\t'))
            value.pop_back();
        // MAME quotes a value holding blanks.
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        std::vector<std::string> folders;
        std::istringstream parts(value);
        std::string folder;
        while (std::getline(parts, folder, ';')) {
            for (const char *prefix : {"$HOME", "~"})
                if (folder.compare(0, strlen(prefix), prefix) == 0 &&
                    (folder.size() == strlen(prefix) || folder[strlen(prefix)] == '/')) {
                    if (home.empty()) {
                        folder.clear();
                        break;
                    }
                    folder = home + folder.substr(strlen(prefix));
                }
            if (!folder.empty())
                folders.push_back(folder);
        }
        return folders;
    }
    return {};
}

std::vector<std::string> MameIniFolders(const char *key, std::string *from)
{
#ifdef _WIN32
    (void)key;
    (void)from;
    return {};
#else
    const char *home = getenv("HOME");
    std::string user = home && home[0] == '/' ? std::string(home) + "/.mame/mame.ini" : "";
    for (const std::string &path : {user, std::string("/etc/mame/mame.ini")}) {
        std::ifstream file(path);
        if (path.empty() || !file)
            continue;
        std::stringstream text;
        text << file.rdbuf();
        if (from)
            *from = path;
        return MameIniFoldersIn(text.str(), key, home && home[0] == '/' ? home : "");
    }
    return {};
#endif
}

bool IsSystemFolder(const char *folder)
{
#ifdef _WIN32
    (void)folder;
    return false;
#else
    for (const char *system : {"/usr", "/bin", "/sbin", "/opt", "/lib", "/etc", "/snap"}) {
        size_t length = strlen(system);
        if (strncmp(folder, system, length) == 0 && (folder[length] == '/' || !folder[length]))
            return true;
    }
    return false;
#endif
}
