#include "emulator/choose.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <initializer_list>

#include "artwork/zipread.h"
#include "base/files.h"
#include "base/format.h"
#include "base/names.h"
#include "base/random.h"
#include "config/settings.h"
#include "emulator/choices.h"
#include "emulator/facts.h"
#include "emulator/report.h"
#include "emulator/sets.h"

namespace {

constexpr int kWorkingPathBytes = 2048;
constexpr int kDeviceBytes = 1024;

enum class Pick { Chosen, Empty, Vanished, TooLong };

thread_local char chosenRomEntry[2048];
thread_local ChoiceFilter choiceFilter = nullptr;
thread_local void *choiceFilterContext = nullptr;

bool Accepted(int mameOrMess, const char *machine, const char *software)
{
    return !choiceFilter || choiceFilter(choiceFilterContext, mameOrMess, machine, software);
}

bool IsDotEntry(const char *name)
{
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

// Counts the entries of an open listing, takes one draw (only when there is
// something to choose from) and walks to the drawn entry.
Pick PickEntry(DIR *dir, char *name)
{
    long count = 0;
    while (dirent *item = readdir(dir))
        if (!IsDotEntry(item->d_name))
            count++;
    if (count == 0)
        return Pick::Empty;

    rewinddir(dir);
    long position = RandomDraw() % count;
    long seen = 0;
    while (dirent *item = readdir(dir)) {
        if (IsDotEntry(item->d_name))
            continue;
        if (seen++ == position)
            return CopyText(name, kEntryNameBytes, item->d_name) ? Pick::Chosen : Pick::TooLong;
    }
    // The folder shrank between the two readings.
    return Pick::Vanished;
}

}   // namespace

bool RomEntryToDriverName(char *entry)
{
    StrToLower(entry);
    // The emulator reads a set as a .zip or .7z archive or as a folder.
    for (const char *archive : {".zip", ".7z"})
        if (char *cut = strstr(entry, archive))
            *cut = '\0';
    // Quotes do not stop an argument from being an option ("-createconfig"
    // from a file named -createconfig.zip): only a plain driver name goes on.
    return IsPlainName(entry);
}

namespace {

int ChooseGame(char *software, char *command)
{
    if (!MameRomsPath[0] || !MamePath[0])
        return 1;
    char entry[kEntryNameBytes], name[kEntryNameBytes];
    if (!DrawGameEntry(entry) || !CopyText(name, sizeof name, entry))
        return 1;
    if (!RomEntryToDriverName(name) || CategorySkipped(name) || !Accepted(1, "", name))
        return 1;
    // BIOS sets, devices and names the emulator does not know sit in ROM
    // folders too; they are never launched, nor are machines that would show
    // nothing: no screen, a mechanical game, a disk that is not there, a set
    // whose files the emulator finds wanting.
    MachineFacts facts;
    if (!GetMachineFacts(MamePath, MameExe, name, &facts, nullptr) ||
        !IsRunnableMachine(facts) || !ShowsSomething(facts) ||
        (MameCheckOnlyPerfect && facts.driverVerdict != 0) ||
        (MameParentsOnly && !facts.cloneOf.empty()) ||
        (!MameShowNotWorking && facts.preliminary) || !DisksPresent(facts, MameRomsPath, name) ||
        VerifyRomSet(MamePath, MameExe, MameRomsPath, entry, name) != 1 ||
        !FormatText(chosenRomEntry, sizeof chosenRomEntry, "%s\\%s", MameRomsPath, entry))
        return 1;
    char roms[kTextSetting * 2];
    if (!FolderForQuotes(roms, sizeof roms, MameRomsPath) ||
        !FormatText(command, kCommandBytes, "\"%s\\%s\" %s%s -rompath \"%s\" \"%s\"", MamePath,
                    MameExe, SoundOptions().c_str(), MameOption, roms, name))
        return 1;
    CopyText(software, kSoftwareBytes, name);
    return 0;
}

// Result of walking down the software tree from a system's folder.
enum class Descent { File, TryAgain, Refused };

// Draws one entry per level until the path names something that cannot be
// opened as a folder. File: path names the software file. TryAgain: nothing
// was chosen at all (the first folder is missing, or a folder shrank), so a
// new system should be drawn.
Descent Descend(char *path, char *machine, char *software)
{
    bool chosen = false;
    for (;;) {
        DIR *dir = OpenFolder(path);
        if (!dir) {
            int why = errno;
            if (!chosen)
                return Descent::TryAgain;
            return why == ENOTDIR ? Descent::File : Descent::Refused;
        }
        char name[kEntryNameBytes];
        Pick pick = PickEntry(dir, name);
        closedir(dir);
        switch (pick) {
        case Pick::Empty:
        case Pick::TooLong:
            return Descent::Refused;
        case Pick::Vanished:
            // Nothing of this walk is chosen any more; start over from a
            // new system draw.
            return Descent::TryAgain;
        case Pick::Chosen:
            break;
        }
        size_t used = strlen(path);
        if (!FormatText(path + used, kWorkingPathBytes - used, "\\%s", name))
            return Descent::Refused;
        CopyText(software, kSoftwareBytes, name);
        if (!machine[0]) {
            if (!CopyText(machine, kMachineBytes, name))
                return Descent::Refused;
            StrToLower(machine);
        }
        chosen = true;
    }
}

// The device of a system the emulator knows and can run that takes
// fileName's extension, from the system's facts: one query at most.
bool SystemDevice(const char *machine, const char *fileName, char *device)
{
    MachineFacts facts;
    return GetMachineFacts(MessPath, MessExe, machine, &facts, nullptr) &&
           IsRunnableMachine(facts) && ShowsSomething(facts) &&
           DisksPresent(facts, MessBiosPath, machine) && DeviceFromFacts(facts, fileName, device) &&
           IsPlainName(device);
}

int ChooseMember(const char *path, const char *machine, char *software, char *command)
{
    ZipHandle *zip = openzip(path);
    if (!zip)
        return 1;
    int target = RandomDraw() % zip->totalEntries;
    ZipEntry *entry = nullptr;
    for (int i = 0; i <= target; i++) {
        entry = readzip(zip);
        if (!entry) {
            closezip(zip);
            return 1;
        }
    }
    char device[kDeviceBytes] = "";
    char bios[kTextSetting * 2];
    // The member's name as the emulator, the title card and the artwork
    // lookup take it: in the active code page, refused when it cannot be.
    char member[kSoftwareBytes];
    // The member's name ends the quoted path: a quote or a final backslash
    // in it would end or escape the quoting.
    bool taken = ZipEntryName(entry, member, sizeof member);
    size_t nameLength = strlen(member);
    taken = taken && FitsBetweenQuotes(member) &&
            (nameLength == 0 || member[nameLength - 1] != '\\') &&
            Accepted(0, machine, member) && SystemDevice(machine, member, device) &&
            FolderForQuotes(bios, sizeof bios, MessBiosPath) &&
            FormatText(command, kCommandBytes, "\"%s\\%s\" -biospath \"%s\" %s%s %s -%s \"%s\\%s\"",
                       MessPath, MessExe, bios, SoundOptions().c_str(), MessOption, machine, device,
                       path, member) &&
            CopyText(software, kSoftwareBytes, member);
    closezip(zip);
    return taken ? 0 : 1;
}

int ChooseFile(const char *path, const char *machine, const char *software, char *command)
{
    char device[kDeviceBytes] = "";
    if (!Accepted(0, machine, software) || !SystemDevice(machine, path, device))
        return 1;
    char bios[kTextSetting * 2];
    if (!FolderForQuotes(bios, sizeof bios, MessBiosPath) ||
        !FormatText(command, kCommandBytes, "\"%s\\%s\" -biospath \"%s\" %s%s %s -%s \"%s\"",
                    MessPath, MessExe, bios, SoundOptions().c_str(), MessOption, machine, device,
                    path))
        return 1;
    return 0;
}

int ChooseSystemSoftware(char *machine, char *software, char *command)
{
    if (!MessSoftwarePath[0] || !MessPath[0])
        return 1;

    char path[kWorkingPathBytes];
    Descent descent = Descent::TryAgain;
    // A system whose folder is missing is replaced by a new draw, a bounded
    // number of times so that a list of nothing but missing folders (or an
    // unreadable software root) cannot hold the caller forever.
    for (int pass = 0; pass <= kMaxNewMachineDraws && descent == Descent::TryAgain; pass++) {
        if (Number_of_machine > 0) {
            const MachineEntry &drawn = AvailableMachine[RandomDraw() % Number_of_machine];
            if (!CopyTextPart(machine, kMachineBytes, drawn.Name, sizeof drawn.Name) ||
                !FormatText(path, sizeof path, "%s\\%s", MessSoftwarePath, machine))
                return 1;
        } else {
            machine[0] = '\0';
            if (!CopyText(path, sizeof path, MessSoftwarePath))
                return 1;
        }
        descent = Descend(path, machine, software);
    }
    if (descent != Descent::File)
        return 1;

    // The system's name goes unquoted onto the query and launch command
    // lines; the path stands between double quotes on the launch line.
    if (!IsPlainName(machine) || !FitsBetweenQuotes(path))
        return 1;
    // A system whose own files an earlier run found missing is not tried
    // again until they change.
    if (SystemRomEntry(MessBiosPath, machine, chosenRomEntry, sizeof chosenRomEntry) &&
        RememberedRomVerdict(MessPath, MessExe, chosenRomEntry) == 0)
        return 1;

    size_t length = strlen(path);
    char extension[5];
    CopyText(extension, sizeof extension, path + (length > 4 ? length - 4 : 0));
    StrToLower(extension);
    if (strcmp(extension, ".zip") == 0)
        return ChooseMember(path, machine, software, command);
    return ChooseFile(path, machine, software, command);
}

}   // namespace

void SetChoiceFilter(ChoiceFilter filter, void *context)
{
    choiceFilter = filter;
    choiceFilterContext = context;
}

int GetRandomFileInDirectory(const char *folder, char *name)
{
    DIR *dir = OpenFolder(folder);
    if (!dir)
        return 0;
    Pick pick = PickEntry(dir, name);
    closedir(dir);
    return pick == Pick::Chosen ? 1 : 0;
}

const char *ChosenRomEntry()
{
    return chosenRomEntry;
}

int ChooseSoftware(char *machine, char *software, char *command)
{
    chosenRomEntry[0] = '\0';
    if (!MamePath[0] && !MessPath[0])
        exit(1);

    // A side that is not set up is not drawn: its choices would all fail.
    bool arcade = MamePath[0] && MameRomsPath[0];
    bool systems = MessPath[0] && MessSoftwarePath[0];
    if (arcade != systems ? arcade : RandomDraw() % 2 == 1) {
        MameOrMess = 1;
        return ChooseGame(software, command);
    }
    MameOrMess = 0;
    return ChooseSystemSoftware(machine, software, command);
}
