// The doctor on the software tree and the allowed systems.
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "artwork/zipread.h"
#include "base/format.h"
#include "base/names.h"
#include "check/doctor.h"
#include "config/settings.h"
#include "emulator/choose.h"
#include "emulator/facts.h"
#include "emulator/report.h"

namespace doctor {

// Every file under folder (zip archives as files), recursively, as paths
// relative to the software tree, until kMaxSoftwareFiles are known.
void ListSoftware(const std::string &folder, const std::string &relative,
                  std::vector<std::string> *files)
{
    std::vector<std::string> names;
    if (!ListFolder(folder.c_str(), &names))
        return;
    for (const std::string &name : names) {
        if (files->size() >= kMaxSoftwareFiles)
            return;
        std::string path = folder + "\\" + name;
        if (IsFolder(path))
            ListSoftware(path, relative + "\\" + name, files);
        else
            files->push_back(relative + "\\" + name);
    }
}


// Counts the sampled file's software (itself, or a zip archive's members)
// whose extension no device of system takes; the first such names go to bad.
void CheckSoftwareFile(const SystemFolder &system, const std::string &relative, size_t *files,
                       std::vector<std::string> *bad)
{
    std::string path = std::string(MessSoftwarePath) + relative;
    char device[1024];
    std::string lower = relative;
    StrToLower(&lower[0]);
    if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".zip") == 0) {
        if (ZipHandle *zip = openzip(path.c_str())) {
            while (ZipEntry *entry = readzip(zip)) {
                size_t length = strlen(entry->name);
                if (length && (entry->name[length - 1] == '/' || entry->name[length - 1] == '\\'))
                    continue;   // a folder record, no software
                ++*files;
                if (!DeviceFromFacts(system.facts, entry->name, device))
                    bad->push_back(relative.substr(1) + "\\" + entry->name);
            }
            closezip(zip);
            return;
        }
    }
    ++*files;
    if (!DeviceFromFacts(system.facts, relative.c_str(), device))
        bad->push_back(relative.substr(1));
}

void CheckSoftwareTree(const Emulator &mess, std::vector<SystemFolder> *systems)
{
    const char *topic = "software tree";
    if (!mess.configured)
        return;
    if (!MessSoftwarePath[0]) {
        // With no ROM folder either, the ROM folder's finding has said it.
        if (MameRomsPath[0])
            Say(Level::Warn, topic,
                Text("No software folder is set: the saver shows no MESS software; set %s to "
                     "the folder that holds one folder per system.",
                     Setting("MessSoftwarePath").c_str()));
        return;
    }
    std::vector<std::string> entries;
    if (!ListFolder(MessSoftwarePath, &entries)) {
        Say(Level::Fail, topic,
            Text("%s cannot be opened: set %s to your software folder.", MessSoftwarePath,
                 Setting("MessSoftwarePath").c_str()));
        return;
    }
    if (entries.empty()) {
        Say(Level::Fail, topic,
            Text("%s is empty: put one folder per system there (nes, a2600, ...) with its "
                 "software inside.",
                 MessSoftwarePath));
        return;
    }
    if (!mess.works) {
        Say(Level::Warn, topic,
            Text("%s holds %zu entries; without a working MESS executable none can be checked.",
                 MessSoftwarePath, entries.size()));
        return;
    }
    std::vector<std::string> unknown, empty, loose;
    std::vector<std::pair<size_t, std::string>> files;   // (system, path below the tree)
    std::vector<size_t> order = Sample(entries.size());
    Clock::time_point deadline = TopicDeadline();
    size_t checked = 0;
    for (size_t i : order) {
        const std::string &entry = entries[i];
        std::string path = std::string(MessSoftwarePath) + "\\" + entry;
        if (!IsFolder(path)) {
            ++checked;
            loose.push_back(entry);
            continue;
        }
        SystemFolder system;
        char name[kTextSetting];
        system.name = CopyText(name, sizeof name, entry.c_str()) ? (StrToLower(name), name) : "";
        int found = IsPlainName(system.name.c_str())
                        ? FactsInTime(mess, system.name, deadline, &system.facts)
                        : 0;
        if (found < 0)
            break;
        ++checked;
        system.known = found && IsRunnableMachine(system.facts);
        if (!system.known) {
            unknown.push_back(entry);
            continue;
        }
        std::vector<std::string> software;
        ListSoftware(path, "\\" + entry, &software);
        if (software.empty())
            empty.push_back(entry);
        for (std::string &file : software)
            files.emplace_back(systems->size(), std::move(file));
        systems->push_back(std::move(system));
    }
    std::string note = SampleNote(checked, entries.size(), "folders");
    if (!loose.empty())
        Say(Level::Warn, topic,
            Text("%s directly in %s%s (%s): the saver takes each first-level entry as a system; "
                 "move such files into their system's folder.",
                 Count(loose.size(), "file lies", "files lie").c_str(), MessSoftwarePath, note.c_str(),
                 Names(loose).c_str()));
    if (!unknown.empty())
        Say(systems->empty() ? Level::Fail : Level::Warn, topic,
            Text("%s in %s%s %s this MESS can run (%s): name each folder after its system's "
                 "driver name (nes, a2600, ...) or remove it.",
                 Count(unknown.size(), "folder", "folders").c_str(), MessSoftwarePath, note.c_str(),
                 unknown.size() == 1 ? "is not a system" : "are not systems", Names(unknown).c_str()));
    if (!empty.empty())
        Say(Level::Warn, topic,
            Text("%s in %s %s no software (%s): put software there or remove the empty folders; "
                 "the saver draws them in vain.",
                 Count(empty.size(), "system folder", "system folders").c_str(), MessSoftwarePath,
                 empty.size() == 1 ? "holds" : "hold", Names(empty).c_str()));
    size_t looked = 0;
    std::vector<std::string> bad;
    std::vector<size_t> fileOrder = Sample(files.size());
    for (size_t i : fileOrder)
        CheckSoftwareFile((*systems)[files[i].first], files[i].second, &looked, &bad);
    std::string fileNote = SampleNote(fileOrder.size(), files.size(), "files");
    if (!bad.empty())
        Say(Level::Warn, topic,
            Text("%zu of %zu software files%s have an extension no device of their system takes "
                 "(%s): the saver cannot start them; remove them or give them the system's "
                 "extension.",
                 bad.size(), looked, fileNote.c_str(), Names(bad).c_str()));
    if (loose.empty() && unknown.empty() && empty.empty() && bad.empty())
        Say(Level::Ok, topic,
            Text("%s holds %zu system folders%s, all known to this MESS, with %zu software files%s "
                 "that their devices take.",
                 MessSoftwarePath, entries.size(), note.c_str(), files.size(), fileNote.c_str()));
}

void CheckAllowedSystems(const Emulator &mess)
{
    const char *topic = "allowed systems";
    if (!mess.configured)
        return;
    if (Number_of_machine == 0) {
        Say(Level::Ok, topic,
            "No list of allowed systems is set: the saver draws from every folder of the "
            "software tree.");
        return;
    }
    if (!mess.works) {
        Say(Level::Warn, topic,
            Text("%d allowed systems; without a working MESS executable none can be checked.",
                 Number_of_machine));
        return;
    }
    std::vector<std::string> unknown, extensions, missing;
    Clock::time_point deadline = TopicDeadline();
    int checked = 0;
    for (; checked < Number_of_machine; ++checked) {
        const MachineEntry &entry = AvailableMachine[checked];
        MachineFacts facts;
        int found = FactsInTime(mess, entry.Name, deadline, &facts);
        if (found < 0)
            break;
        char device[1024];
        if (MessSoftwarePath[0] &&
            !IsFolder(std::string(MessSoftwarePath) + "\\" + entry.Name))
            missing.push_back(entry.Name);
        if (!found || !IsRunnableMachine(facts))
            unknown.push_back(entry.Name);
        else if (entry.Extension[0] &&
                 !DeviceFromFacts(facts, (std::string("x.") + entry.Extension).c_str(), device))
            extensions.push_back(std::string(entry.Name) + " " + entry.Extension);
    }
    std::string note = SampleNote(checked, Number_of_machine, "lines");
    if (!unknown.empty())
        Say(static_cast<int>(unknown.size()) == checked ? Level::Fail : Level::Warn, topic,
            Text("%zu of %d lines%s name systems this MESS cannot run (%s): the saver draws them "
                 "in vain; remove them from %s.",
                 unknown.size(), Number_of_machine, note.c_str(), Names(unknown).c_str(),
                 Setting("SystemsList").c_str()));
    if (!extensions.empty())
        Say(Level::Warn, topic,
            Text("%s%s give an extension no device of the system takes (%s); the saver "
                 "matches extensions of up to three letters: correct or remove them.",
                 Count(extensions.size(), "line", "lines").c_str(), note.c_str(),
                 Names(extensions).c_str()));
    if (!missing.empty())
        Say(Level::Warn, topic,
            Text("%zu of %d lines%s name systems without a folder in %s (%s): the saver draws "
                 "them in vain; make the folders or remove the lines.",
                 missing.size(), Number_of_machine, note.c_str(), MessSoftwarePath,
                 Names(missing).c_str()));
    if (unknown.empty() && extensions.empty() && missing.empty())
        Say(Level::Ok, topic,
            Text("Every line of the list names a system this MESS runs, with an extension its "
                 "devices take: %s%s.",
                 Count(static_cast<size_t>(Number_of_machine), "line", "lines").c_str(), note.c_str()));
}

}   // namespace doctor
