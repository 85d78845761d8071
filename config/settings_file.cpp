#include "config/settings_file.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <map>
#include <string>

#include "base/files.h"
#include "base/format.h"

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

bool IsNumberName(const std::string &name)
{
    for (const char *number : {"MameCheckOnlyPerfect", "SystemChangeTimer", "SplashScreenTimer",
                               "WaitForMESSTimer", "PollTimer", "DarkAfterMinutes",
                               "MameShowNotWorking", "MameParentsOnly", "SoundVolume"})
        if (name == number)
            return true;
    return false;
}

bool ReadSettingsFile(const char *path)
{
    FILE *file = path[0] ? OpenFile(path, "rb") : nullptr;
    if (!file)
        return false;
    fileValues.clear();
    std::string systems;
    char line[4096];
    while (fgets(line, sizeof line, file)) {
        line[strcspn(line, "\r\n")] = '\0';
        const char *equals = strchr(line, '=');
        if (line[0] == '#' || !equals)
            continue;
        std::string name(line, equals - line);
        std::string value(equals + 1);
        if (name == "SystemsList") {
            systems += value;
            systems += '\0';
        } else if (IsNumberName(name)) {
            uint32_t number = static_cast<uint32_t>(strtol(value.c_str(), nullptr, 10));
            std::string bytes(4, '\0');
            for (int i = 0; i < 4; ++i)
                bytes[i] = static_cast<char>(number >> (8 * i));
            fileValues[name] = {kRegDword, bytes};
        } else {
            fileValues[name] = {kRegSz, value + '\0'};
        }
    }
    fclose(file);
    if (!systems.empty())
        fileValues["SystemsList"] = {kRegMultiSz, systems + '\0'};
    return true;
}

long OpenValues(bool forWriting, void **key)
{
    if (forWriting)
        return kAccessDenied;
    if (!ReadSettingsFile(SettingsFile()))
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
