// A settings store over a small text file, so that quillmere-check can load
// settings where there is no registry (and try settings without touching it).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <map>
#include <string>

#include "base/files.h"
#include "check/check.h"
#include "config/settings.h"

namespace {

struct FileValue {
    unsigned long type;
    std::string bytes;
};
std::map<std::string, FileValue> fileValues;

const long kNotFound = 2;      // ERROR_FILE_NOT_FOUND
const long kMoreData = 234;    // ERROR_MORE_DATA

bool IsNumberName(const std::string &name)
{
    for (const char *number : {"MameCheckOnlyPerfect", "SystemChangeTimer", "SplashScreenTimer",
                               "WaitForMESSTimer", "PollTimer"})
        if (name == number)
            return true;
    return false;
}

long OpenValues(bool forWriting, void **key)
{
    if (forWriting)
        return 5;   // ERROR_ACCESS_DENIED: the check never writes settings
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
    return 5;
}

void CloseValues(void *)
{
}

const SettingsStore fileStore = {OpenValues, QueryValues, SetValues, CloseValues};

} // namespace

bool UseSettingsFile(const char *path)
{
    FILE *file = OpenFile(path, "rb");
    if (!file) {
        fprintf(stderr, "quillmere-check: cannot read the settings file %s\n", path);
        return false;
    }
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
    SetSettingsStore(&fileStore);
    return true;
}
