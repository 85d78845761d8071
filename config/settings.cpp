#include "config/settings.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <iterator>

#include "base/files.h"
#include "base/format.h"

char MessPath[kTextSetting];
char MessExe[kTextSetting];
char MessSoftwarePath[kTextSetting];
char MessBiosPath[kTextSetting];
char MessOption[kTextSetting];
char MamePath[kTextSetting];
char MameExe[kTextSetting];
char MameRomsPath[kTextSetting];
char MameOption[kTextSetting];
char MameGameList[kTextSetting];
char MameCategoryFile[kTextSetting];
char MameSkipCategories[kTextSetting];   // set by ResetSettings and the loading

int32_t MameCheckOnlyPerfect;
int32_t MameShowNotWorking;
int32_t MameParentsOnly;
int32_t SoundVolume;
int32_t TimerEndRun;
int32_t TimerStart;
int32_t TimerStarting;
int32_t TimerPoll;
int32_t DarkAfterMinutes = kDefaultDarkAfterMinutes;

MachineEntry *AvailableMachine;
int Number_of_machine;

thread_local int MameOrMess;

// The values the last load used as stored, by name.
static const char *const kStoredNames[] = {
    "MessPath",          "MessSoftwarePath",  "MessBiosPath",     "MessOption",
    "MamePath",          "MameRomsPath",      "MameOption",       "MameCheckOnlyPerfect",
    "SystemChangeTimer", "SplashScreenTimer", "WaitForMESSTimer", "PollTimer",
    "DarkAfterMinutes"};
static bool storedValues[std::size(kStoredNames)];

static void MarkStored(const char *name, bool stored)
{
    for (size_t i = 0; i < std::size(kStoredNames); ++i)
        if (strcmp(kStoredNames[i], name) == 0)
            storedValues[i] = stored;
}

bool SettingWasStored(const char *name)
{
    for (size_t i = 0; i < std::size(kStoredNames); ++i)
        if (strcmp(kStoredNames[i], name) == 0)
            return storedValues[i];
    return false;
}

static const SettingsStore *settingsStore = nullptr;
static const long kMoreData = 234;   // ERROR_MORE_DATA: the buffer was too small
static const long kNotFound = 2;     // ERROR_FILE_NOT_FOUND: no such value

void SetSettingsStore(const SettingsStore *store)
{
    settingsStore = store;
}

const SettingsStore *CurrentSettingsStore()
{
    return settingsStore ? settingsStore : PlatformSettingsStore();
}

static const SettingsStore &Store()
{
    return *CurrentSettingsStore();
}

void ResetSettings()
{
    for (char *text : {MessPath, MessExe, MessSoftwarePath, MessBiosPath, MessOption,
                       MamePath, MameExe, MameRomsPath, MameOption, MameGameList, MameCategoryFile})
        text[0] = '\0';
    CopyText(MameSkipCategories, kTextSetting, kDefaultSkipCategories);
    MameCheckOnlyPerfect = MameShowNotWorking = MameParentsOnly = SoundVolume = TimerEndRun =
        TimerStart = TimerStarting = TimerPoll = 0;
    // 0 would mean "never": a process without settings starts at the default.
    DarkAfterMinutes = kDefaultDarkAfterMinutes;
    MameOrMess = 0;
    ClearMachineList();
    for (bool &stored : storedValues)
        stored = false;
}

void ClearMachineList()
{
    free(AvailableMachine);
    AvailableMachine = nullptr;
    Number_of_machine = 0;
}

void AppendMachineEntry(const char *name, const char *extension)
{
    void *grown = realloc(AvailableMachine, sizeof(MachineEntry) * (Number_of_machine + 1));
    if (!grown)
        return;   // out of memory: the list keeps what it had
    AvailableMachine = static_cast<MachineEntry *>(grown);
    MachineEntry &entry = AvailableMachine[Number_of_machine++];
    // A word wider than its field is cut to the field, as a C string copy
    // into a fixed field would keep at most that much.
    CopyTextPart(entry.Name, sizeof entry.Name, name, sizeof entry.Name - 1);
    CopyTextPart(entry.Extension, sizeof entry.Extension, extension,
                 sizeof entry.Extension - 1);
}

void ParseSystemsList(const char *packed, int length)
{
    int at = 0;
    while (at < length && packed[at] != '\0') {
        const char *line = packed + at;
        const void *end = memchr(line, '\0', length - at);
        // A line without its NUL inside the value is not whole: stop there.
        if (!end)
            break;
        int lineLength = static_cast<int>(static_cast<const char *>(end) - line);
        at += lineLength + 1;

        char copy[1024];
        if (!CopyTextPart(copy, sizeof copy, line, lineLength))
            continue;   // longer than a line can be
        char *words[2] = {nullptr, nullptr};
        int count = 0;
        for (char *p = copy; *p && count < 2;) {
            while (*p == ' ')
                ++p;
            if (!*p)
                break;
            words[count++] = p;
            while (*p && *p != ' ')
                ++p;
            if (*p)
                *p++ = '\0';
        }
        // A line of spaces only names no system: nothing could be chosen by it.
        if (count == 0)
            continue;
        // A word wider than its field is never cut into another name (and
        // so never saved back cut): the line is left out.
        const char *extension = words[1] ? words[1] : "";
        if (strlen(words[0]) >= sizeof(MachineEntry::Name) ||
            strlen(extension) >= sizeof(MachineEntry::Extension))
            continue;
        AppendMachineEntry(words[0], extension);
    }
}

void SplitExecutablePath(char *folder, char *exe)
{
    // Find the last non-empty component and the separator just before it.
    int length = static_cast<int>(strlen(folder));
    int end = length;
    while (end > 0 && IsPathSeparator(folder[end - 1]))
        --end;
    int start = end;
    while (start > 0 && !IsPathSeparator(folder[start - 1]))
        --start;
    if (start == 0 || end == 0)
        return;   // one component or none
    // Is there another non-empty component before it?
    bool another = false;
    for (int i = 0; i < start - 1; ++i)
        if (!IsPathSeparator(folder[i])) {
            another = true;
            break;
        }
    if (!another)
        return;
    CopyTextPart(exe, kTextSetting, folder + start, end - start);
    folder[start - 1] = '\0';
}

// False when the value is not there (the setting is then empty).
static bool ReadText(void *key, const char *name, char *setting)
{
    unsigned long size = kTextSetting;
    MarkStored(name, false);
    long result = Store().Query(key, name, setting, &size);
    if (result != 0 || size > kTextSetting) {
        setting[0] = '\0';
        return result != kNotFound;
    }
    // A value stored without its NUL ends where its bytes end; one that fills
    // all 1024 bytes without a NUL is too long to be held, and loads empty.
    if (!memchr(setting, '\0', size)) {
        if (size == kTextSetting) {
            setting[0] = '\0';
            return true;
        }
        setting[size] = '\0';
    }
    MarkStored(name, true);
    return true;
}

static void ReadNumber(void *key, const char *name, int32_t *setting, int32_t fallback)
{
    // A shorter value fills the low bytes, as a read into the number would.
    unsigned char bytes[4] = {0, 0, 0, 0};
    unsigned long size = sizeof bytes;
    bool read = Store().Query(key, name, bytes, &size) == 0;
    MarkStored(name, read);
    if (!read) {
        *setting = fallback;
        return;
    }
    *setting = static_cast<int32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 |
                                    static_cast<uint32_t>(bytes[3]) << 24);
}

// A number written by hand out of its range is read as its default: no run
// that ends as it starts, no splash for ever, no night awake.
static void ReadNumberIn(void *key, const char *name, int32_t *setting, int32_t fallback,
                         int32_t lowest, int32_t highest)
{
    ReadNumber(key, name, setting, fallback);
    if (*setting < lowest || *setting > highest) {
        *setting = fallback;
        MarkStored(name, false);
    }
}

int ReadConfigurationInRegistry()
{
    void *key = nullptr;
    if (Store().Open(false, &key) != 0)
        return -1;

    ReadText(key, "MessPath", MessPath);
    ReadText(key, "MessSoftwarePath", MessSoftwarePath);
    ReadText(key, "MessBiosPath", MessBiosPath);
    ReadText(key, "MessOption", MessOption);
    ReadText(key, "MamePath", MamePath);
    ReadText(key, "MameRomsPath", MameRomsPath);
    ReadText(key, "MameOption", MameOption);
    ReadText(key, "MameGameList", MameGameList);
    ReadText(key, "MameCategoryFile", MameCategoryFile);
    // Missing, the usual skips; stored empty, nothing is skipped.
    if (!ReadText(key, "MameSkipCategories", MameSkipCategories))
        CopyText(MameSkipCategories, kTextSetting, kDefaultSkipCategories);

    ReadNumber(key, "MameCheckOnlyPerfect", &MameCheckOnlyPerfect, 0);
    ReadNumber(key, "MameShowNotWorking", &MameShowNotWorking, 0);
    ReadNumber(key, "MameParentsOnly", &MameParentsOnly, 0);
    ReadNumber(key, "SoundVolume", &SoundVolume, 0);
    ReadNumberIn(key, "SystemChangeTimer", &TimerEndRun, kDefaultTimerEndRun, 1, kLongestTimer);
    ReadNumberIn(key, "SplashScreenTimer", &TimerStart, kDefaultTimerStart, 1, kLongestTimer);
    ReadNumber(key, "WaitForMESSTimer", &TimerStarting, kDefaultTimerStarting);
    ReadNumber(key, "PollTimer", &TimerPoll, kDefaultTimerPoll);
    ReadNumberIn(key, "DarkAfterMinutes", &DarkAfterMinutes, kDefaultDarkAfterMinutes, 0,
                 kLongestDarkAfterMinutes);

    static char packed[kSystemsListBytes];
    memset(packed, 0, sizeof packed);
    unsigned long size = sizeof packed;
    long result = Store().Query(key, "SystemsList", packed, &size);
    int length = result == 0 && size <= sizeof packed ? static_cast<int>(size) : 0;
    if (result == kMoreData && size > sizeof packed) {
        // Too long to be read whole: read it all, keep the whole lines that
        // fit in the list's 10240 bytes.
        char *whole = static_cast<char *>(calloc(size, 1));
        unsigned long wholeSize = size;
        if (whole && Store().Query(key, "SystemsList", whole, &wholeSize) == 0) {
            memcpy(packed, whole, sizeof packed);
            length = sizeof packed;
        }
        free(whole);
    }
    Store().Close(key);

    if (MessPath[0])
        SplitExecutablePath(MessPath, MessExe);
    if (MamePath[0])
        SplitExecutablePath(MamePath, MameExe);
    ParseSystemsList(packed, length);
    return 0;
}

// An emulator whose executable cannot be opened for reading is off for the
// process; nothing is written back.
static void SwitchOffUnusable(char *folder, const char *exe)
{
    char path[kTextSetting];
    if (!FormatText(path, sizeof path, "%s\\%s", folder, exe) || !FileCanBeOpened(path))
        folder[0] = '\0';
}

bool SwitchOffUnusableEmulators()
{
    SwitchOffUnusable(MessPath, MessExe);
    SwitchOffUnusable(MamePath, MameExe);
    return MessPath[0] || MamePath[0];
}
