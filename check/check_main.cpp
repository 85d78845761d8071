// quillmere-check: what the screen saver would do with the user's settings,
// printed on the console. It loads the settings and checks the emulator
// executables the way the saver does at start-up, then runs the saver's own
// choice and query functions.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <utility>

#include "base/format.h"
#include "base/random.h"
#include "check/check.h"
#include "check/check_artwork.h"
#include "check/check_doctor.h"
#include "config/settings.h"
#include "config/settings_file.h"
#include "emulator/choose.h"
#include "emulator/facts.h"
#include "emulator/report.h"
#include "emulator/sets.h"
#include "resources/resource.h"

bool CheckSettingsRead = false;
std::string settingsNote;

std::string AsShown(const char *text)
{
    std::string shown = text;
#ifndef _WIN32
    for (char &c : shown)
        if (c == '\\')
            c = '/';
#endif
    return shown;
}

namespace {

const int kMaxChooseCalls = 1000;

// A whole decimal number from 1 to limit; 0 for anything else.
int PositiveNumber(const char *text, int limit)
{
    char *end = nullptr;
    errno = 0;
    long value = strtol(text, &end, 10);
    if (errno || end == text || *end || value < 1 || value > limit)
        return 0;
    return static_cast<int>(value);
}

bool Usable(const char *folder, const char *which)
{
    if (folder[0])
        return true;
    fprintf(stderr, "quillmere-check: %s is not configured, or its executable cannot be opened\n",
            which);
    return false;
}

// ---- Commands -------------------------------------------------------------------

// choose N: N successful choices, at most kMaxChooseCalls calls in all, with
// every rule the saver's choice follows.
int ChooseCommand(int, char **argv)
{
    int wanted = PositiveNumber(argv[0], kMaxChooseCalls);
    if (!wanted) {
        fprintf(stderr, "quillmere-check: choose wants a number from 1 to %d\n",
                kMaxChooseCalls);
        return 2;
    }
    int made = 0, failed = 0;
    // Every time the emulator is run: reports and set checks.
    long queriesBefore = MachineQueriesRun() + RomVerificationsRun();
    for (int calls = 0; calls < kMaxChooseCalls && made < wanted; ++calls) {
        char machine[kMachineBytes] = "", software[kSoftwareBytes] = "";
        char command[kCommandBytes] = "";
        if (ChooseSoftware(machine, software, command) != 0) {
            ++failed;
            continue;
        }
        ++made;
        // An arcade choice has no system: its machine is the game itself.
        printf("%s\t%s\t%s\t%s\n", MameOrMess ? "MAME" : "MESS", MameOrMess ? software : machine,
               AsShown(software).c_str(), AsShown(command).c_str());
        fflush(stdout);
    }
    printf("choices: %d, failed calls: %d, queries: %ld\n", made, failed,
           MachineQueriesRun() + RomVerificationsRun() - queriesBefore);
    return made == wanted ? 0 : 1;
}

// device SYSTEM FILE: which device of SYSTEM takes FILE.
int DeviceCommand(int, char **argv)
{
    if (!Usable(MessPath, "MESS"))
        return 1;
    char device[1024] = "";
    int found = GetDeviceByExtension(MessPath, argv[0], argv[1], device);
    printf("%d\t%s\n", found, found ? device : "");
    return 0;
}

// status GAME: the perfect-driver verdict for GAME.
int StatusCommand(int, char **argv)
{
    if (!Usable(MamePath, "MAME"))
        return 1;
    printf("%d\n", IsDriverImperfect(MamePath, MameExe, argv[0]));
    return 0;
}

// info mame|mess NAME: description and year, as the title card gets them.
int InfoCommand(int, char **argv)
{
    bool mame = strcmp(argv[0], "mame") == 0;
    if (!mame && strcmp(argv[0], "mess") != 0) {
        fprintf(stderr, "quillmere-check: info wants mame or mess, not %s\n", argv[0]);
        return 2;
    }
    const char *folder = mame ? MamePath : MessPath;
    if (!Usable(folder, mame ? "MAME" : "MESS"))
        return 1;
    char description[1024] = "", year[1024] = "";
    int found = GetDriverInformation(folder, mame ? MameExe : MessExe, argv[1], description,
                                     year);
    printf("%d\t%s\t%s\n", found, description, year);
    return 0;
}

// facts mame|mess NAME: what the saver knows of machine NAME, and whether it
// came from the cache or from a query now.
int FactsCommand(int, char **argv)
{
    bool mame = strcmp(argv[0], "mame") == 0;
    if (!mame && strcmp(argv[0], "mess") != 0) {
        fprintf(stderr, "quillmere-check: facts wants mame or mess, not %s\n", argv[0]);
        return 2;
    }
    const char *folder = mame ? MamePath : MessPath;
    if (!Usable(folder, mame ? "MAME" : "MESS"))
        return 1;
    MachineFacts facts;
    bool fromCache = false;
    if (!GetMachineFacts(folder, mame ? MameExe : MessExe, argv[1], &facts, &fromCache)) {
        fprintf(stderr, "quillmere-check: no answer from the emulator about %s\n", argv[1]);
        return 1;
    }
    printf("source\t%s\nknown\t%d\nbios\t%d\ndevice\t%d\nrunnable\t%d\ncloneof\t%s\n"
           "status\t%d\ninfo\t%d\t%s\t%s\ndevices\t",
           fromCache ? "cache" : "query", facts.known, facts.bios, facts.device, facts.runnable,
           facts.cloneOf.c_str(), facts.driverVerdict, facts.infoFound,
           facts.description.c_str(), facts.year.c_str());
    for (const DeviceValue &entry : facts.devices)
        printf("%s%s=%s", &entry == &facts.devices[0] ? "" : " ", entry.value.c_str(),
               entry.usable ? entry.device.c_str() : "(name too long)");
    printf("\nscreen\t%d\nmechanical\t%d\npreliminary\t%d\nromof\t%s\ndisks\t", facts.screen,
           facts.mechanical, facts.preliminary, facts.romOf.c_str());
    for (const std::string &disk : facts.disks)
        printf("%s%s", &disk == &facts.disks[0] ? "" : " ", disk.c_str());
    printf("\n");
    return 0;
}

// ==== The command table =============================================================
// To add a command: declare its function (int Name(int argc, char **argv),
// argv[0] being its first argument) and add one row here. Rows needing
// CheckNeeds::Settings run after the settings are loaded and the
// executables checked; rows needing CheckNeeds::Stored get them unchecked.
const CheckCommand kCommands[] = {
    {"choose", "N", 1, 1, CheckNeeds::Settings, ChooseCommand},
    {"device", "SYSTEM FILE", 2, 2, CheckNeeds::Settings, DeviceCommand},
    {"status", "GAME", 1, 1, CheckNeeds::Settings, StatusCommand},
    {"info", "mame|mess NAME", 2, 2, CheckNeeds::Settings, InfoCommand},
    {"facts", "mame|mess NAME", 2, 2, CheckNeeds::Settings, FactsCommand},
    {"picture", "mame GAME [PARENT] | picture mess SYSTEM SOFTWARE [PARENT]", 2, 4, CheckNeeds::Settings, CheckPicture},
    {"doctor", "", 0, 0, CheckNeeds::Stored, CheckDoctor},
#ifdef _WIN32
    {"render", "PICTURE.png|ARCHIVE.zip\\MEMBER WIDTHxHEIGHT MODE OUT.bmp", 4, 4, CheckNeeds::Nothing, CheckRender},
#endif
};
// ====================================================================================

// The usage text: on standard error after a bad command line (exit 2), on
// standard output when asked for with --help (exit 0).
int Usage(FILE *to = stderr)
{
    fprintf(to, "usage: quillmere-check [--settings FILE] [--mame EXE] [--mess EXE] COMMAND ...\n"
                "       quillmere-check --help | --version\n"
                "commands:\n");
    for (const CheckCommand &command : kCommands)
        fprintf(to, "  quillmere-check %s %s\n", command.name, command.arguments);
    fprintf(to,
            "options:\n"
            "  --settings FILE  read the settings from FILE (Name=value lines) instead of\n"
            "                   the registry (natively: $XDG_CONFIG_HOME/quillmere/settings)\n"
            "  --mame EXE       use EXE (full path) as the MAME executable\n"
            "  --mess EXE       use EXE (full path) as the MESS executable\n");
    return to == stderr ? 2 : 0;
}

// Loads the settings as the saver does, then applies the options. False
// (after a message) when the settings file's name does not fit; *read tells
// whether the store could be read.
bool ReadSettings(const char *settingsFile, const char *mame, const char *mess, bool *read)
{
    if (settingsFile) {
        if (!SetSettingsFile(settingsFile)) {
            fprintf(stderr, "quillmere-check: the settings file's name is too long\n");
            return false;
        }
        SetSettingsStore(SettingsFileStore());
    }
    *read = ReadSettingsOrDefaults(&settingsNote) == 0;
    // An executable given on the command line replaces the stored one.
    for (auto option : {std::make_pair(mame, MamePath), std::make_pair(mess, MessPath)}) {
        if (!option.first)
            continue;
        char *exe = option.second == MamePath ? MameExe : MessExe;
        exe[0] = '\0';
        if (!CopyText(option.second, kTextSetting, option.first))
            option.second[0] = '\0';
        SplitExecutablePath(option.second, exe);
    }
    return true;
}

// ReadSettings, then the executables checked as the saver checks them. False
// (after a message) when there is nothing to run with.
bool LoadSettings(const char *settingsFile, const char *mame, const char *mess)
{
    bool loaded = false;
    if (!ReadSettings(settingsFile, mame, mess, &loaded))
        return false;
    if (!loaded && !mame && !mess) {
        if (CurrentSettingsStore() == SettingsFileStore())
            fprintf(stderr, "quillmere-check: cannot read the settings file %s\n",
                    SettingsFile());
        else
            fprintf(stderr, "quillmere-check: Error while reading configuration from registry "
                            "(HKEY_CURRENT_USER\\Software\\Quillmere is missing; "
                            "run the screen saver's configuration first)\n");
        return false;
    }
    if (!SwitchOffUnusableEmulators()) {
        fprintf(stderr,
                "quillmere-check: Please configure Quillmere with at least one of MESS or MAME "
                "binary\n");
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    const char *settingsFile = nullptr, *mame = nullptr, *mess = nullptr;
    if (argc == 2 && strcmp(argv[1], "--help") == 0)
        return Usage(stdout);
    if (argc == 2 && strcmp(argv[1], "--version") == 0) {
        printf("quillmere-check %s\n", QUILLMERE_VERSION_TEXT);
        return 0;
    }
    int at = 1;
    for (; at < argc && strncmp(argv[at], "--", 2) == 0; at += 2) {
        const char *option = argv[at];
        if (at + 1 >= argc)
            return Usage();
        if (strcmp(option, "--settings") == 0)
            settingsFile = argv[at + 1];
        else if (strcmp(option, "--mame") == 0)
            mame = argv[at + 1];
        else if (strcmp(option, "--mess") == 0)
            mess = argv[at + 1];
        else
            return Usage();
    }
    if (at >= argc)
        return Usage();

    const CheckCommand *command = nullptr;
    for (const CheckCommand &row : kCommands)
        if (strcmp(row.name, argv[at]) == 0)
            command = &row;
    int count = argc - at - 1;
    if (!command || count < command->minArguments || count > command->maxArguments)
        return Usage();

    SeedRandom(static_cast<unsigned>(time(nullptr)));
    ResetSettings();
    if (command->needs == CheckNeeds::Settings && !LoadSettings(settingsFile, mame, mess))
        return 1;
    if (command->needs == CheckNeeds::Stored &&
        !ReadSettings(settingsFile, mame, mess, &CheckSettingsRead))
        return 1;
    int status = command->run(count, argv + at + 1);
    SaveMachineFacts();
    return status;
}
