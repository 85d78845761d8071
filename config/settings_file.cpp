#include "config/settings_file.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <map>
#include <string>
#include <strings.h>
#include <vector>

#include "base/files.h"
#include "base/format.h"
#include "config/mame_ini.h"

namespace {

struct FileValue {
    unsigned long type;
    std::string bytes;
};
std::map<std::string, FileValue> fileValues;
char settingsFile[kTextSetting];
bool settingsFileChosen = false;

const long kNotFound = 2;       // ERROR_FILE_NOT_FOUND
const long kAccessDenied = 5;   // ERROR_ACCESS_DENIED
const long kMoreData = 234;     // ERROR_MORE_DATA

enum class Kind { Text, Path, Number, List };

// Every name the file takes, as the registry names the values.
const struct {
    const char *name;
    Kind kind;
} kNames[] = {
    {"MessPath", Kind::Path},           {"MessSoftwarePath", Kind::Path},
    {"MessBiosPath", Kind::Path},       {"MessOption", Kind::Text},
    {"MamePath", Kind::Path},           {"MameRomsPath", Kind::Path},
    {"MameOption", Kind::Text},         {"MameCheckOnlyPerfect", Kind::Number},
    {"SystemChangeTimer", Kind::Number}, {"SplashScreenTimer", Kind::Number},
    {"WaitForMESSTimer", Kind::Number}, {"PollTimer", Kind::Number},
    {"DarkAfterMinutes", Kind::Number}, {"SystemsList", Kind::List},
    {"MameShowNotWorking", Kind::Number}, {"MameGameList", Kind::Path},
    {"MameCategoryFile", Kind::Path},   {"MameSkipCategories", Kind::Text},
    {"MameParentsOnly", Kind::Number},  {"SoundVolume", Kind::Number},
};

std::vector<std::string> unknownNames;

std::string Trimmed(const std::string &text)
{
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// How many single-letter edits turn a into b, ignoring letter case.
size_t EditDistance(const std::string &a, const std::string &b)
{
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t above = row[j];
            bool same = tolower(static_cast<unsigned char>(a[i - 1])) ==
                        tolower(static_cast<unsigned char>(b[j - 1]));
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// "~" or "$HOME" at the start of a path is the user's home folder.
std::string ExpandHome(const std::string &value)
{
    const char *home = getenv("HOME");
    if (!home || home[0] != '/')
        return value;
    for (const char *prefix : {"$HOME", "~"}) {
        size_t length = strlen(prefix);
        if (value.compare(0, length, prefix) == 0 && (value.size() == length || value[length] == '/'))
            return home + value.substr(length);
    }
    return value;
}

void Remember(const std::string &name, const std::string &value)
{
    for (const auto &known : kNames) {
        if (strcasecmp(known.name, name.c_str()) != 0)
            continue;
        if (known.kind == Kind::Number) {
            uint32_t number = static_cast<uint32_t>(strtol(value.c_str(), nullptr, 10));
            std::string bytes(4, '\0');
            for (int i = 0; i < 4; ++i)
                bytes[i] = static_cast<char>(number >> (8 * i));
            fileValues[known.name] = {kRegDword, bytes};
        } else if (known.kind == Kind::List) {
            // One line per system; the value's lines end with an empty one.
            std::string &list = fileValues[known.name].bytes;
            fileValues[known.name].type = kRegMultiSz;
            if (!list.empty())
                list.pop_back();
            list += value + '\0' + '\0';
        } else {
            std::string text = known.kind == Kind::Path ? ExpandHome(value) : value;
            fileValues[known.name] = {kRegSz, text + '\0'};
        }
        return;
    }
    if (std::find(unknownNames.begin(), unknownNames.end(), name) == unknownNames.end())
        unknownNames.push_back(name);
}

bool ReadSettingsFile(const char *path)
{
    FILE *file = path[0] ? OpenFile(path, "rb") : nullptr;
    if (!file)
        return false;
    fileValues.clear();
    unknownNames.clear();
    // Whole lines, however long: a line is never split into a second setting.
    std::string line;
    for (int c = 0; c != EOF;) {
        c = fgetc(file);
        if (c != '\n' && c != EOF) {
            line += static_cast<char>(c);
            continue;
        }
        std::string text = Trimmed(line);
        line.clear();
        size_t equals = text.find('=');
        if (text.empty() || text[0] == '#' || equals == std::string::npos)
            continue;
        Remember(Trimmed(text.substr(0, equals)), Trimmed(text.substr(equals + 1)));
    }
    fclose(file);
    return true;
}

// Set while the values are Debian's defaults rather than the file's.
bool usingDefaults = false;

long OpenValues(bool forWriting, void **key)
{
    if (forWriting)
        return kAccessDenied;
    if (!usingDefaults && !ReadSettingsFile(SettingsFile()))
        return kNotFound;
    *key = &fileValues;
    return 0;
}

long QueryValues(void *, const char *name, void *data, unsigned long *size)
{
    auto found = fileValues.find(name);
    if (found == fileValues.end())
        return kNotFound;
    const std::string &bytes = found->second.bytes;
    if (bytes.size() > *size) {
        *size = static_cast<unsigned long>(bytes.size());
        return kMoreData;
    }
    memcpy(data, bytes.data(), bytes.size());
    *size = static_cast<unsigned long>(bytes.size());
    return 0;
}

long SetValues(void *, const char *, unsigned long, const void *, unsigned long)
{
    return kAccessDenied;
}

void CloseValues(void *)
{
}

const SettingsStore fileStore = {OpenValues, QueryValues, SetValues, CloseValues};

}   // namespace

const SettingsStore *SettingsFileStore()
{
    return &fileStore;
}

bool SetSettingsFile(const char *path)
{
    settingsFileChosen = path != nullptr;
    if (path && !CopyText(settingsFile, sizeof settingsFile, path)) {
        settingsFile[0] = '\0';
        return false;
    }
    return true;
}

const char *SettingsFile()
{
    if (!settingsFileChosen)
        DefaultSettingsFile(settingsFile, sizeof settingsFile);
    return settingsFile;
}

void DefaultSettingsFile(char *path, size_t size)
{
    const char *config = getenv("XDG_CONFIG_HOME");
    const char *home = getenv("HOME");
    bool made = false;
    // XDG: a relative XDG_CONFIG_HOME is ignored, as if unset.
    if (config && config[0] == '/')
        made = FormatText(path, size, "%s/quillmere/settings", config);
    else if (home && home[0])
        made = FormatText(path, size, "%s/.config/quillmere/settings", home);
    if (!made && size > 0)
        path[0] = '\0';
}

std::vector<std::string> UnknownSettingsNames()
{
    return unknownNames;
}

std::string UnknownSettingSentence(const std::string &name)
{
    const char *closest = nullptr;
    size_t best = 3;   // farther than two edits is no likely slip
    for (const auto &known : kNames) {
        size_t distance = EditDistance(name, known.name);
        if (distance < best) {
            best = distance;
            closest = known.name;
        }
    }
    std::string sentence = "unknown setting \"" + name + "\"";
    if (closest)
        sentence += std::string(" (did you mean ") + closest + "?)";
    return sentence;
}

int ReadSettingsOrDefaults(std::string *note)
{
    usingDefaults = false;
    int read = ReadConfigurationInRegistry();
    FILE *file = nullptr;
    const char *mame = "/usr/games/mame";
    if (read == 0 || CurrentSettingsStore() != SettingsFileStore() ||
        (file = OpenFile(SettingsFile(), "rb")) != nullptr || !FileCanBeOpened(mame)) {
        if (file)
            fclose(file);   // there, but unreadable: no defaults over it
        return read;
    }
    fileValues.clear();
    unknownNames.clear();
    Remember("MamePath", mame);
    std::string ini;
    std::vector<std::string> roms = MameIniFolders("rompath", &ini);
    if (!roms.empty())
        Remember("MameRomsPath", roms[0]);
    usingDefaults = true;
    read = ReadConfigurationInRegistry();
    usingDefaults = false;
    if (note)
        *note = std::string("no settings file ") + SettingsFile() + ": using " + mame +
                (roms.empty() ? " without a ROM folder (no rompath in MAME's mame.ini)"
                              : " and the ROM folder " + roms[0] + " (rompath of " + ini + ")");
    return read;
}
