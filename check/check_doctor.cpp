#include "check/check_doctor.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "artwork/lookup.h"
#include "artwork/zipread.h"
#include "base/files.h"
#include "base/format.h"
#include "base/names.h"
#include "base/random.h"
#include "check/check.h"
#include "config/settings.h"
#include "config/settings_file.h"
#include "emulator/choose.h"
#include "emulator/facts.h"
#include "emulator/report.h"
#include "emulator/runner.h"

namespace {

using Clock = std::chrono::steady_clock;

// Per-entry checks (facts, extensions, pictures) look at a random sample of
// this many entries; counting the entries of a folder is always whole.
constexpr int kSampleSize = 200;
// An emulator that takes longer than this for one -listxml answer is broken.
constexpr int kAnswerLimitMs = 10000;
// Emulator queries of one topic stop after this long; cached facts cost
// nothing, so a second doctor run gets further.
constexpr int kTopicQueryMs = 8000;
// The software tree is walked until this many files are known.
constexpr size_t kMaxSoftwareFiles = 100000;
constexpr int kNamesShown = 5;

enum class Level { Ok, Warn, Fail };

struct Emulator {
    const char *which;   // "MAME" or "MESS"
    char *folder;
    const char *exe;
    bool configured = false;
    bool works = false;
};

bool anyFailed = false;

// The sentences count with size_t (%zu), which the Windows runtime's own
// formatter does not know: there, mingw's formatter writes them.
std::string Text(const char *format, ...) __attribute__((format(gnu_printf, 1, 2)));
std::string Text(const char *format, ...)
{
    char buffer[4096];
    va_list arguments;
    va_start(arguments, format);
#ifdef _WIN32
    __mingw_vsnprintf(buffer, sizeof buffer, format, arguments);
#else
    vsnprintf(buffer, sizeof buffer, format, arguments);
#endif
    va_end(arguments);
    return buffer;
}

// One finding. The sentence is kept on its line: tabs and line ends in
// file names become blanks. Natively the paths are shown with the slashes
// the user types.
void Say(Level level, const char *topic, const std::string &sentence)
{
    std::string line = sentence;
    for (char &c : line) {
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
#ifndef _WIN32
        if (c == '\\')
            c = '/';
#endif
    }
    anyFailed = anyFailed || level == Level::Fail;
    printf("%s\t%s\t%s\n", level == Level::Ok ? "ok" : level == Level::Warn ? "warn" : "fail", topic,
           line.c_str());
    fflush(stdout);
}

// The names of folder's entries but "." and ".."; false when it cannot be listed.
bool ListFolder(const char *folder, std::vector<std::string> *names)
{
    DIR *dir = OpenFolder(folder);
    if (!dir)
        return false;
    while (dirent *item = readdir(dir))
        if (strcmp(item->d_name, ".") != 0 && strcmp(item->d_name, "..") != 0)
            names->push_back(item->d_name);
    closedir(dir);
    return true;
}

bool IsFolder(const std::string &path)
{
    DIR *dir = OpenFolder(path.c_str());
    if (dir)
        closedir(dir);
    return dir != nullptr;
}

// Up to kSampleSize distinct indexes below count, drawn at random; all of
// them, in order, when there are no more.
std::vector<size_t> Sample(size_t count)
{
    std::vector<size_t> order(count);
    for (size_t i = 0; i < count; ++i)
        order[i] = i;
    size_t wanted = count < kSampleSize ? count : kSampleSize;
    if (wanted == count)
        return order;
    for (size_t i = 0; i < wanted; ++i) {
        // Two draws make a number large enough for any folder.
        size_t draw = static_cast<size_t>(RandomDraw()) * (kRandomMax + 1) + RandomDraw();
        std::swap(order[i], order[i + draw % (count - i)]);
    }
    order.resize(wanted);
    return order;
}

// "(sampled N of M entries)" when only part was looked at.
std::string SampleNote(size_t checked, size_t total, const char *what)
{
    return checked < total ? Text(" (sampled %zu of %zu %s)", checked, total, what) : "";
}

// "1 entry", "2 entries".
std::string Count(size_t n, const char *one, const char *more)
{
    return Text("%zu %s", n, n == 1 ? one : more);
}

// Up to kNamesShown names, comma-separated, "..." after more.
std::string Names(const std::vector<std::string> &names)
{
    std::string text;
    for (size_t i = 0; i < names.size() && i < kNamesShown; ++i)
        text += (i ? ", " : "") + names[i];
    return names.size() > kNamesShown ? text + ", ..." : text;
}

// A ROM folder entry as the saver turns it into a driver name; empty when
// the saver would refuse it.
std::string SetName(const std::string &entry)
{
    char name[kTextSetting];
    return CopyText(name, sizeof name, entry.c_str()) && RomEntryToDriverName(name) ? name : "";
}

// Facts of name while the topic's query time lasts: 1 found, 0 no answer,
// -1 out of time (nothing asked).
int FactsInTime(const Emulator &emulator, const std::string &name, Clock::time_point deadline,
                MachineFacts *facts)
{
    if (Clock::now() > deadline)
        return -1;
    return GetMachineFacts(emulator.folder, emulator.exe, name.c_str(), facts, nullptr) ? 1 : 0;
}

Clock::time_point TopicDeadline()
{
    return Clock::now() + std::chrono::milliseconds(kTopicQueryMs);
}

std::string Where()
{
#ifdef _WIN32
    if (CurrentSettingsStore() != SettingsFileStore())
        return "the settings key HKEY_CURRENT_USER\\Software\\Quillmere";
#endif
    return Text("the settings file %s", SettingsFile());
}

// ---- Topics ---------------------------------------------------------------------

void CheckSettingsTopic()
{
    if (CheckSettingsRead)
        Say(Level::Ok, "settings", Text("The settings were read from %s.", Where().c_str()));
    else
#ifdef _WIN32
        Say(Level::Fail, "settings",
            Text("Cannot read %s: open the screen saver's settings (Quillmere.scr /c), "
                 "choose the emulators and folders, and press OK.",
                 Where().c_str()));
#else
        Say(Level::Fail, "settings",
            Text("Cannot read %s: write it, one Name=value a line (man quillmere tells the "
                 "names).",
                 Where().c_str()));
#endif
}

// Present, and answers -listxml about probe (a machine every build of it
// knows) within kAnswerLimitMs. The query bypasses the facts cache: a
// remembered answer says nothing about the executable now.
void CheckExecutable(Emulator &emulator, const Emulator &other, const char *probe)
{
    std::string topic = std::string(emulator.which) + " executable";
    std::string path = Text("%s\\%s", emulator.folder, emulator.exe);
    if (!emulator.folder[0]) {
        if (other.folder[0])
            Say(Level::Ok, topic.c_str(),
                Text("No %s is set up: the saver shows only %s %s.", emulator.which, other.which,
                     other.which == std::string("MAME") ? "games" : "software"));
        else
            Say(Level::Fail, topic.c_str(),
                Text("No %s executable is set up: choose MAME and/or MESS in the screen saver's "
                     "settings.",
                     emulator.which));
        return;
    }
    emulator.configured = true;
    if (!FileCanBeOpened(path.c_str())) {
        Say(Level::Fail, topic.c_str(),
            Text("%s cannot be opened: install %s there or choose its executable in the screen "
                 "saver's settings.",
                 path.c_str(), emulator.which));
        return;
    }
    char command[kCommandBytes];
    if (!FormatText(command, sizeof command, "\"%s\" -listxml %s", path.c_str(), probe)) {
        Say(Level::Fail, topic.c_str(),
            Text("The path %s is too long for a command line: move %s to a shorter path.",
                 path.c_str(), emulator.which));
        return;
    }
    std::unique_ptr<char[]> report(new char[kRunnerOutputBytes]);
    report[0] = '\0';
    Clock::time_point start = Clock::now();
    int result = RunQuery(command, report.get());
    long ms = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    report[kRunnerOutputBytes - 1] = '\0';
    MachineFacts facts;
    if (result == 0 || result == 12)
        ReadMachineFacts(report.get(), probe, &facts);
    if (result == kRunnerTimeout)
        Say(Level::Fail, topic.c_str(),
            Text("%s did not answer \"-listxml %s\" within %d s: check that it starts by itself "
                 "(a console window, a missing DLL) or choose another executable.",
                 path.c_str(), probe, kAnswerLimitMs / 1000));
    else if (result != 0 && result != 12)
        Say(Level::Fail, topic.c_str(),
            Text("%s could not be run (step %d failed): choose a working %s executable.",
                 path.c_str(), result, emulator.which));
    else if (!facts.known)
        Say(Level::Fail, topic.c_str(),
            Text("%s runs but does not describe the machine %s with -listxml: it is not a %s "
                 "the saver can drive; choose the real %s executable.",
                 path.c_str(), probe, emulator.which, emulator.which));
    else {
        emulator.works = true;
        Say(Level::Ok, topic.c_str(),
            Text("%s answers \"-listxml %s\" in %.1f s.", path.c_str(), probe, ms / 1000.0));
    }
}

// The ROM folder's entries, and what the sampled ones are. The sample and
// its facts are handed back for the artwork topic.
struct RomSample {
    std::vector<std::string> names;       // driver names ("" when not one)
    std::vector<std::string> parents;     // cloneOf, when the facts are known
    size_t total = 0;
};

RomSample CheckRomFolder(const Emulator &mame)
{
    const char *topic = "ROM folder";
    RomSample sample;
    if (!mame.configured)
        return sample;
    if (!MameRomsPath[0]) {
        Say(Level::Warn, topic,
            "No ROM folder is set: the saver shows no arcade games; choose the folder of your "
            "game sets in the screen saver's settings.");
        return sample;
    }
    std::vector<std::string> entries;
    if (!ListFolder(MameRomsPath, &entries)) {
        Say(Level::Fail, topic,
            Text("%s cannot be opened: choose the folder of your game sets in the screen saver's "
                 "settings.",
                 MameRomsPath));
        return sample;
    }
    sample.total = entries.size();
    if (entries.empty()) {
        Say(Level::Fail, topic,
            Text("%s is empty: put your game sets (.zip, .7z or folders) there.", MameRomsPath));
        return sample;
    }
    for (size_t i : Sample(entries.size()))
        sample.names.push_back(SetName(entries[i]));
    sample.parents.assign(sample.names.size(), "");
    if (!mame.works) {
        Say(Level::Warn, topic,
            Text("%s holds %zu entries; without a working MAME executable none can be checked.",
                 MameRomsPath, entries.size()));
        return sample;
    }
    size_t checked = 0, runnable = 0, bios = 0, device = 0;
    std::vector<std::string> unknown;
    Clock::time_point deadline = TopicDeadline();
    for (size_t i = 0; i < sample.names.size(); ++i) {
        MachineFacts facts;
        int found = sample.names[i].empty() ? 0 : FactsInTime(mame, sample.names[i], deadline, &facts);
        if (found < 0)
            break;
        ++checked;
        if (found)
            sample.parents[i] = facts.cloneOf;
        if (!found || !facts.known)
            unknown.push_back(sample.names[i].empty() ? "a name that is no driver name"
                                                      : sample.names[i]);
        else if (facts.bios)
            ++bios;
        else if (facts.device)
            ++device;
        else if (IsRunnableMachine(facts))
            ++runnable;
        else
            unknown.push_back(sample.names[i] + " (not runnable)");
    }
    std::string counts =
        Text("%s%s: %zu can be launched, %s, %s, %zu unknown to this MAME",
             Count(entries.size(), "entry", "entries").c_str(),
             SampleNote(checked, entries.size(), "entries").c_str(), runnable,
             Count(bios, "BIOS set", "BIOS sets").c_str(),
             Count(device, "device", "devices").c_str(), unknown.size());
    if (checked < sample.names.size())
        counts += Text(" (MAME answered slowly: %zu of the sample were not asked yet; the next "
                       "doctor run asks them, as the answers so far are remembered)",
                       sample.names.size() - checked);
    if (runnable == 0)
        Say(Level::Fail, topic,
            Text("%s holds %s. The saver skips BIOS sets, devices and unknown names: put game "
                 "sets for this MAME version there.",
                 MameRomsPath, counts.c_str()));
    else if (!unknown.empty())
        Say(Level::Warn, topic,
            Text("%s holds %s (%s). The saver skips unknown names: they may be sets of another "
                 "MAME version.",
                 MameRomsPath, counts.c_str(), Names(unknown).c_str()));
    else
        Say(Level::Ok, topic, Text("%s holds %s.", MameRomsPath, counts.c_str()));
    return sample;
}

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

struct SystemFolder {
    std::string name;
    MachineFacts facts;
    bool known = false;
};

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
        Say(Level::Warn, topic,
            "No software folder is set: the saver shows no MESS software; choose the folder "
            "that holds one folder per system in the screen saver's settings.");
        return;
    }
    std::vector<std::string> entries;
    if (!ListFolder(MessSoftwarePath, &entries)) {
        Say(Level::Fail, topic,
            Text("%s cannot be opened: choose your software folder in the screen saver's "
                 "settings.",
                 MessSoftwarePath));
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
                 "in vain; remove them from the list in the screen saver's settings.",
                 unknown.size(), Number_of_machine, note.c_str(), Names(unknown).c_str()));
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

// The share of sampled ROM entries (and software systems) with a picture,
// looked up as the splash looks it up, a clone under its parent too.
void CheckArtwork(const Emulator &mame, const RomSample &roms, const Emulator &mess,
                  const std::vector<SystemFolder> &systems)
{
    const char *topic = "artwork";
    const char *where = "(snap, titles, flyers, cabinets, cpanel, marquees, pcb folders, or "
                        "their .zip packs)";
    char path[kPicturePathBytes];
    int mode = 0;
    if (mame.configured && !roms.names.empty()) {
        size_t found = 0;
        for (size_t i = 0; i < roms.names.size(); ++i)
            found += !roms.names[i].empty() &&
                     GetMAMEPictureFor(path, roms.names[i].c_str(), roms.parents[i].c_str(), &mode);
        int share = static_cast<int>(found * 100 / roms.names.size());
        std::string sampled = roms.names.size() < roms.total
                                  ? Text(", sampled from %zu entries", roms.total)
                                  : "";
        std::string sentence =
            Text("%d %% of the ROM entries (%zu of %zu%s) have a picture under %s %s", share, found,
                 roms.names.size(), sampled.c_str(), MamePath, where);
        if (found)
            Say(Level::Ok, topic, sentence + ".");
        else
            Say(Level::Warn, topic,
                sentence + ": the splash shows no picture; put MAME's snap folder or the "
                           "artwork packs (snap.zip, titles.zip, ...) there.");
    }
    if (mess.configured && !systems.empty()) {
        std::vector<std::string> without;
        for (const SystemFolder &system : systems)
            if (!GetMESSPictureFor(path, system.name.c_str(), system.facts.cloneOf.c_str(), "",
                                   &mode))
                without.push_back(system.name);
        std::string sentence =
            Text("%zu of %zu software systems have a picture under %s %s", systems.size() -
                 without.size(), systems.size(), MessPath, where);
        if (without.empty())
            Say(Level::Ok, topic, sentence + ".");
        else
            Say(Level::Warn, topic,
                sentence + Text(": none for %s; put snap\\SYSTEM\\*.png or the artwork packs "
                                "there.",
                                Names(without).c_str()));
    }
    if ((mame.configured || mess.configured) && roms.names.empty() && systems.empty())
        Say(Level::Warn, topic, "No ROM entry or software system could be checked for pictures.");
}

void CheckTimers()
{
    const char *topic = "timers";
    if (!CheckSettingsRead)
        return;
    bool fine = true;
    if (TimerPoll <= 0) {
        fine = false;
        Say(Level::Fail, topic,
            Text("The poll timer (PollTimer) is %d ms: the saver would watch the emulator without "
                 "pause; set it to %d ms in the screen saver's settings.",
                 TimerPoll, kDefaultTimerPoll));
    }
    if (TimerEndRun < TimerStart) {
        fine = false;
        Say(Level::Warn, topic,
            Text("A run (SystemChangeTimer, %d ms) is shorter than the splash (SplashScreenTimer, "
                 "%d ms): each emulator is closed before it has been seen; make the run longer.",
                 TimerEndRun, TimerStart));
    }
    if (TimerStart < 0 || TimerStarting < 0) {
        fine = false;
        Say(Level::Fail, topic,
            Text("The splash (%d ms) or the start wait (%d ms) is negative: set both in the "
                 "screen saver's settings.",
                 TimerStart, TimerStarting));
    }
    if (fine)
        Say(Level::Ok, topic,
            Text("Each run lasts %d s after a %.1f s splash; the emulator is polled every %d ms.",
                 TimerEndRun / 1000, TimerStart / 1000.0, TimerPoll));
    if (DarkAfterMinutes == 0)
        Say(Level::Ok, topic,
            "Rounds go on all night (DarkAfterMinutes is 0): the display never sleeps while the "
            "saver runs.");
    else
        Say(Level::Ok, topic,
            Text("After %d minutes of rounds the screen goes dark (DarkAfterMinutes), so the "
                 "display can sleep.",
                 DarkAfterMinutes));
}

}   // namespace

int CheckDoctor(int, char **)
{
    // The same samples from run to run, so that a run finds the facts the
    // one before asked for in the cache and gets further.
    SeedRandom(1);
    // An emulator that cannot answer within this limit counts as broken;
    // no query of the doctor waits longer.
    RunnerTimeLimitMs = kAnswerLimitMs;
    anyFailed = false;
    Emulator mame{"MAME", MamePath, MameExe}, mess{"MESS", MessPath, MessExe};

    CheckSettingsTopic();
    // Machines every build of the emulator has known for decades.
    CheckExecutable(mame, mess, "pacman");
    CheckExecutable(mess, mame, "nes");
    RomSample roms = CheckRomFolder(mame);
    std::vector<SystemFolder> systems;
    CheckSoftwareTree(mess, &systems);
    CheckAllowedSystems(mess);
    CheckArtwork(mame, roms, mess, systems);
    CheckTimers();
    return anyFailed ? 1 : 0;
}
