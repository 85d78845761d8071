#include "config/systems.h"

#include <cstring>
#include <dirent.h>

#include "base/files.h"
#include "base/format.h"
#include "base/names.h"
#include "config/settings.h"
#include "emulator/report.h"
#include "emulator/runner.h"

static const char kNoExecutable[] = "You must first set an executable path";
static const char kNoExecutableTitle[] = "No executable error";
static const char kNoSoftwarePath[] = "You must first set a software path";
static const char kNoSoftwarePathTitle[] = "No softare path error";

// Longest extension taken from a report; anything longer is not a file
// extension the emulator means, and is skipped.
constexpr size_t kExtensionBytes = 128;

// Refreshes MessPath from box 100; false (and the message) when it is empty.
static bool ReadExecutableBox(void *dialog, const DialogControls *controls)
{
    controls->GetText(dialog, IDC_MESS_EXE, MessPath, kTextSetting);
    if (MessPath[0])
        return true;
    controls->ShowError(dialog, kNoExecutable, kNoExecutableTitle);
    return false;
}

// Adds "name extension" for each extension named in report from start on.
static void AddExtensionLines(void *dialog, const DialogControls *controls, const char *name,
                              const char *start)
{
    const char *at = start;
    while ((at = strstr(at, "extension name")) != nullptr) {
        const char *open = strchr(at, '"');
        if (!open)
            return;
        const char *close = strchr(open + 1, '"');
        if (!close)
            return;
        // Go on from the opening quote, so the next search starts inside
        // this extension's value.
        at = open;

        // Shown as text, not as the report writes it.
        char extension[kExtensionBytes];
        if (!CopyText(extension, sizeof extension,
                      DecodeEntities(open + 1, static_cast<size_t>(close - open - 1)).c_str()))
            continue;
        char line[1024];
        if (!FormatText(line, sizeof line, "%s %s", name, extension))
            continue;
        if (controls->ListFindExact(dialog, IDC_SYSTEMS_LIST, line) == kListError)
            controls->ListAdd(dialog, IDC_SYSTEMS_LIST, line);
    }
}

void AddSystemToList(void *dialog, const DialogControls *controls, const char *name)
{
    if (!ReadExecutableBox(dialog, controls))
        return;
    // The name goes onto the command line unquoted: anything but a plain
    // driver name could smuggle options to the emulator.
    if (!IsPlainName(name))
        return;

    char command[1024];
    if (!FormatText(command, sizeof command, "\"%s\" -listxml %s", MessPath, name))
        return;
    char pattern[1024];
    if (!FormatText(pattern, sizeof pattern, "machine name=\"%s\"", name))
        return;

    static char output[kRunnerOutputBytes];
    output[0] = '\0';
    RunQuery(command, output);
    output[kRunnerOutputBytes - 1] = '\0';

    // Case-sensitive on purpose: the emulator prints driver names in lower
    // case, and a name typed otherwise is not its name.
    const char *machine = strstr(output, pattern);
    if (!machine)
        return;
    AddExtensionLines(dialog, controls, name, machine);
}

void AddAllSystemToList(void *dialog, const DialogControls *controls)
{
    if (!ReadExecutableBox(dialog, controls))
        return;
    controls->GetText(dialog, IDC_MESS_SOFTWARE, MessSoftwarePath, kTextSetting);
    if (!MessSoftwarePath[0]) {
        controls->ShowError(dialog, kNoSoftwarePath, kNoSoftwarePathTitle);
        return;
    }
    DIR *folder = OpenFolder(MessSoftwarePath);
    if (!folder)
        return;
    // Files and folders alike: an entry that is no system adds nothing.
    while (const dirent *entry = readdir(folder))
        AddSystemToList(dialog, controls, entry->d_name);
    closedir(folder);
}
