#include "emulator/choices.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>

#include "base/files.h"
#include "base/format.h"
#include "base/names.h"
#include "base/random.h"
#include "config/settings.h"
#include "emulator/choose.h"
#include "emulator/report.h"

namespace {

// Lines longer than this are no name or category of either file.
constexpr size_t kLineBytes = 4096;

// A file read once and read again only when its path, size or write time
// change: the list and the category file are asked about for every draw.
template <typename Content>
struct CachedFile {
    std::mutex mutex;
    std::string path;
    FileStamp stamp;
    bool read = false;
    Content content;

    // Runs use(content) with the file at path loaded by load; false when it
    // cannot be read.
    template <typename Load, typename Use>
    bool With(const char *file, Load load, Use use)
    {
        std::lock_guard<std::mutex> lock(mutex);
        FileStamp now;
        if (!GetFileStamp(file, &now))
            return false;
        if (!read || path != file || now.size != stamp.size || now.writeTime != stamp.writeTime) {
            content = Content();
            read = load(file, &content);
            path = file;
            stamp = now;
        }
        return read && (use(content), true);
    }
};

CachedFile<std::vector<std::string>> gameList;
CachedFile<Categories> categories;

// Blanks and the line end cut from both ends, in place.
char *Trim(char *line)
{
    while (*line == ' ' || *line == '\t')
        ++line;
    size_t length = strlen(line);
    while (length > 0 && strchr(" \t\r\n", line[length - 1]))
        line[--length] = '\0';
    return line;
}

bool StartsWithIgnoringCase(const std::string &text, const std::string &prefix)
{
    return text.size() >= prefix.size() &&
           EqualIgnoringCase(text.c_str(), prefix.c_str(), prefix.size());
}

// The entries of the ROM folder whose games the list names.
bool ListedEntries(const std::vector<std::string> &names, std::vector<std::string> *entries)
{
    DIR *dir = OpenFolder(MameRomsPath);
    if (!dir)
        return false;
    std::set<std::string> wanted(names.begin(), names.end());
    while (dirent *item = readdir(dir)) {
        char name[kEntryNameBytes];
        if (CopyText(name, sizeof name, item->d_name) && RomEntryToDriverName(name) &&
            wanted.erase(name))
            entries->push_back(item->d_name);
    }
    closedir(dir);
    return true;
}

}   // namespace

bool ReadGameList(const char *path, std::vector<std::string> *names)
{
    FILE *file = OpenFile(path, "rb");
    if (!file)
        return false;
    std::set<std::string> seen;
    char buffer[kLineBytes];
    while (fgets(buffer, sizeof buffer, file)) {
        char *line = Trim(buffer);
        StrToLower(line);
        if (IsPlainName(line) && seen.insert(line).second)
            names->push_back(line);
    }
    fclose(file);
    return true;
}

bool ReadCategories(const char *path, Categories *found)
{
    FILE *file = OpenFile(path, "rb");
    if (!file)
        return false;
    bool inside = false;
    char buffer[kLineBytes];
    while (fgets(buffer, sizeof buffer, file)) {
        char *line = Trim(buffer);
        if (line[0] == '[') {
            if (inside)
                break;
            inside = strlen(line) == 10 && StartsWithIgnoringCase(line, "[Category]");
            continue;
        }
        char *equals = strchr(line, '=');
        if (!inside || !equals)
            continue;
        *equals = '\0';
        StrToLower(line);
        (*found)[Trim(line)] = Trim(equals + 1);
    }
    fclose(file);
    return true;
}

bool CategoryFilePath(char *path, size_t size)
{
    if (MameCategoryFile[0])
        return CopyText(path, size, MameCategoryFile);
    if (!MamePath[0])
        return false;
    for (const char *place : {"\\catver.ini", "\\folders\\catver.ini"})
        if (FormatText(path, size, "%s%s", MamePath, place) && FileCanBeOpened(path))
            return true;
    return false;
}

bool CategoryMatches(const std::string &category, const char *skipped)
{
    std::string list = skipped;
    for (size_t start = 0; start <= list.size();) {
        size_t end = list.find(';', start);
        if (end == std::string::npos)
            end = list.size();
        char prefix[kTextSetting];
        CopyTextPart(prefix, sizeof prefix, list.c_str() + start, end - start);
        std::string trimmed = Trim(prefix);
        if (!trimmed.empty() &&
            (StartsWithIgnoringCase(category, trimmed) ||
             (StartsWithIgnoringCase(trimmed, "Mature") && trimmed.size() == 6 &&
              category.find("* Mature *") != std::string::npos)))
            return true;
        start = end + 1;
    }
    return false;
}

bool CategorySkipped(const char *game)
{
    char path[kTextSetting * 2];
    if (!MameSkipCategories[0] || !CategoryFilePath(path, sizeof path))
        return false;
    bool skipped = false;
    categories.With(path, ReadCategories, [&](const Categories &known) {
        auto found = known.find(game);
        skipped = found != known.end() && CategoryMatches(found->second, MameSkipCategories);
    });
    return skipped;
}

int DrawGameEntry(char *entry)
{
    if (!MameGameList[0])
        return GetRandomFileInDirectory(MameRomsPath, entry);
    std::vector<std::string> entries;
    if (!gameList.With(MameGameList, ReadGameList, [&](const std::vector<std::string> &names) {
            ListedEntries(names, &entries);
        }) ||
        entries.empty())
        return 0;
    return CopyText(entry, kEntryNameBytes, entries[RandomDraw() % entries.size()].c_str()) ? 1 : 0;
}

std::string SoundOptions()
{
    if (SoundVolume >= 33)
        return "-sound none ";
    if (SoundVolume >= 1)
        return "-volume -" + std::to_string(SoundVolume) + " ";
    return "";
}
