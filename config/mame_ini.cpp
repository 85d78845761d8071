#include "config/mame_ini.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// The folders of one ';'-separated value, each with a leading $HOME or ~
// turned into home (and left out when home is needed but empty).
std::vector<std::string> SplitFolders(const std::string &value, const std::string &home)
{
    std::vector<std::string> folders;
    size_t start = 0;
    while (start <= value.size()) {
        size_t end = value.find(';', start);
        if (end == std::string::npos)
            end = value.size();
        std::string folder = value.substr(start, end - start);
        start = end + 1;
        for (const char *prefix : {"$HOME", "~"}) {
            size_t length = strlen(prefix);
            if (folder.compare(0, length, prefix) == 0 &&
                (folder.size() == length || folder[length] == '/')) {
                folder = home.empty() ? "" : home + folder.substr(length);
                break;
            }
        }
        if (!folder.empty())
            folders.push_back(folder);
    }
    return folders;
}

}   // namespace

std::vector<std::string> MameIniFoldersIn(const std::string &iniText, const char *key,
                                          const std::string &home)
{
    const size_t keyLength = strlen(key);
    for (size_t at = 0; at < iniText.size();) {
        size_t end = iniText.find('\n', at);
        if (end == std::string::npos)
            end = iniText.size();
        std::string line = iniText.substr(at, end - at);
        at = end + 1;
        size_t first = 0;
        while (first < line.size() && IsBlank(line[first]))
            ++first;
        // The key is the line's first word, whole.
        if (line.compare(first, keyLength, key) != 0 || first + keyLength >= line.size() ||
            !IsBlank(line[first + keyLength]))
            continue;
        size_t from = first + keyLength, to = line.size();
        while (from < to && IsBlank(line[from]))
            ++from;
        while (to > from && IsBlank(line[to - 1]))
            --to;
        // MAME quotes a value holding blanks.
        if (to - from >= 2 && line[from] == '"' && line[to - 1] == '"')
            ++from, --to;
        return SplitFolders(line.substr(from, to - from), home);
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
        FILE *file = path.empty() ? nullptr : fopen(path.c_str(), "rb");
        if (!file)
            continue;
        std::string text;
        char buffer[4096];
        for (size_t got; (got = fread(buffer, 1, sizeof buffer, file)) > 0;)
            text.append(buffer, got);
        fclose(file);
        if (from)
            *from = path;
        return MameIniFoldersIn(text, key, home && home[0] == '/' ? home : "");
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
