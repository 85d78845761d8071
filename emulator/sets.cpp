#include "emulator/sets.h"

#include <memory>
#include <set>
#include <string>

#include "base/files.h"
#include "base/format.h"
#include "base/names.h"
#include "emulator/runner.h"

namespace {

thread_local long verificationsRun = 0;
thread_local std::set<std::string> brokenFound;

int NoteVerdict(const char *entryPath, int verdict)
{
    if (verdict == 0)
        brokenFound.insert(entryPath);
    return verdict;
}

}   // namespace

bool DisksPresent(const MachineFacts &facts, const char *romFolder, const char *name)
{
    for (const std::string &disk : facts.disks) {
        bool found = false;
        for (const std::string &set : {std::string(name), facts.romOf}) {
            char path[2048];
            found = found || (!set.empty() &&
                              FormatText(path, sizeof path, "%s\\%s\\%s.chd", romFolder,
                                         set.c_str(), disk.c_str()) &&
                              FileCanBeOpened(path));
        }
        if (!found)
            return false;
    }
    return true;
}

int VerifyRomSet(const char *folder, const char *exe, const char *romFolder, const char *entry,
                 const char *name)
{
    char entryPath[2048], roms[2048], command[1024];
    // The name goes onto the command line unquoted.
    if (!IsPlainName(name) ||
        !FormatText(entryPath, sizeof entryPath, "%s\\%s", romFolder, entry) ||
        !FolderForQuotes(roms, sizeof roms, romFolder) ||
        !FormatText(command, sizeof command, "\"%s\\%s\" -rompath \"%s\" -verifyroms %s", folder,
                    exe, roms, name))
        return -1;
    int remembered = RememberedRomVerdict(folder, exe, entryPath);
    if (remembered >= 0)
        return NoteVerdict(entryPath, remembered);

    std::unique_ptr<char[]> output(new char[kRunnerOutputBytes]);
    int exitCode = -1;
    ++verificationsRun;
    RunForExitCode(command, output.get(), kVerifyTimeLimitMs, &exitCode);
    if (exitCode < 0)
        return -1;
    RememberRomVerdict(folder, exe, entryPath, exitCode == 0);
    return NoteVerdict(entryPath, exitCode == 0 ? 1 : 0);
}

bool SystemRomEntry(const char *biosFolder, const char *system, char *path, size_t size)
{
    if (!biosFolder[0])
        return false;
    for (const char *kind : {".zip", ".7z", ""}) {
        FileStamp stamp;
        if (!FormatText(path, size, "%s\\%s%s", biosFolder, system, kind))
            return false;
        if (GetEntryStamp(path, &stamp))
            return true;
    }
    return true;   // none is there: the folder's path stands for the missing files
}

void MarkRomSetBroken(const char *folder, const char *exe, const char *entryPath)
{
    RememberRomVerdict(folder, exe, entryPath, false);
    NoteVerdict(entryPath, 0);
}

long RomVerificationsRun()
{
    return verificationsRun;
}

long BrokenSetsFound()
{
    return static_cast<long>(brokenFound.size());
}
