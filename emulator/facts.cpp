#include "emulator/facts.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "base/files.h"
#include "base/format.h"
#include "base/names.h"
#include "emulator/facts_fields.h"
#include "emulator/report.h"
#include "emulator/runner.h"

namespace {

const char kFileVersion[] = "quillmere machine facts 2";

// Limits of the file's other lines (machine lines: facts_fields.h).
const size_t kFileKeyBytes = 2048;           // a failed choice's key
const size_t kLineBytes = 64 * 1024;         // longer than any line the limits allow
const int kMaxEmulators = 8;

struct Remembered {
    MachineFacts facts;
    uint64_t lastUse = 0;
};

struct Verdict {
    FileStamp stamp;   // the entry's when it was judged; 0 and 0: it was missing
    bool good = false;
    uint64_t lastUse = 0;
};

// What is known about the machines of one emulator executable.
struct EmulatorFacts {
    FileStamp stamp;
    bool loaded = false;   // the file was read (or found missing or unusable)
    bool changed = false;  // the file should be written
    uint64_t clock = 0;    // use counter for the least-recently-used order
    uint64_t lastUse = 0;
    std::unordered_map<std::string, Remembered> machines;
    std::map<std::string, int64_t> failures;   // key -> time of the latest failure
    std::unordered_map<std::string, Verdict> verdicts;   // ROM entry path -> verdict
};

// Never destroyed: a worker left running at exit must not find it gone.
std::map<std::string, EmulatorFacts> &Emulators()
{
    static auto *emulators = new std::map<std::string, EmulatorFacts>;
    return *emulators;
}

uint64_t emulatorClock = 0;
thread_local long queriesRun = 0;

// Guards everything above but queriesRun. Never destroyed, like Emulators().
std::mutex &FactsLock()
{
    static auto *lock = new std::mutex;
    return *lock;
}

// Makes room in a full map: the entry least recently used goes (by its
// lastUse, or for plain times by the time itself).
template <typename Map, typename Age>
void DropOldest(Map &map, Age age)
{
    auto oldest = map.begin();
    for (auto it = map.begin(); it != map.end(); ++it)
        if (age(it->second) < age(oldest->second))
            oldest = it;
    if (oldest != map.end())
        map.erase(oldest);
}

auto ByLastUse = [](const auto &value) { return value.lastUse; };

// ---- The file ---------------------------------------------------------------------

uint64_t HashOf(const std::string &text)
{
    uint64_t hash = 14695981039346656037ull;   // 64-bit FNV-1a
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

bool CacheFilePath(const std::string &exePath, char *path, size_t size)
{
    char folder[1024];
    uint64_t hash = HashOf(exePath);
    return GetCacheFolder(folder, sizeof folder) &&
           FormatText(path, size, "%s\\facts-%08x%08x.txt", folder,
                      static_cast<unsigned>(hash >> 32), static_cast<unsigned>(hash));
}

// Reads the whole file into emulator, or nothing: any line that does not
// parse, a file for another executable or version, a file cut short.
bool ReadCacheFile(FILE *file, const std::string &exePath, EmulatorFacts *emulator)
{
    std::unique_ptr<char[]> line(new char[kLineBytes]);
    std::vector<std::string> f;
    uint64_t number;
    auto next = [&]() {
        if (!fgets(line.get(), kLineBytes, file))
            return false;
        size_t length = strlen(line.get());
        if (length == 0 || line[length - 1] != '\n')
            return false;   // cut short, or longer than any good line
        line[length - 1] = '\0';
        return SplitLine(line.get(), &f);
    };
    if (!next() || f.size() != 1 || f[0] != kFileVersion)
        return false;
    if (!next() || f.size() != 4 || f[0] != "exe" || f[1] != exePath ||
        !ParseNumber(f[2], UINT64_MAX, &number) || number != emulator->stamp.size ||
        !ParseNumber(f[3], UINT64_MAX, &number) || number != emulator->stamp.writeTime)
        return false;
    for (;;) {
        if (!next())
            return false;
        if (f[0] == "m") {
            std::string name;
            Remembered remembered;
            if (emulator->machines.size() >= static_cast<size_t>(kMaxRememberedMachines) ||
                !ParseMachine(f, &name, &remembered.facts))
                return false;
            remembered.lastUse = ++emulator->clock;
            emulator->machines[name] = remembered;
        } else if (f[0] == "f") {
            if (f.size() != 3 || f[1].size() >= kFileKeyBytes ||
                emulator->failures.size() >= static_cast<size_t>(kMaxRememberedFailures) ||
                !ParseNumber(f[2], INT64_MAX, &number))
                return false;
            emulator->failures[f[1]] = static_cast<int64_t>(number);
        } else if (f[0] == "v") {
            Verdict verdict;
            if (f.size() != 5 || f[1].size() >= kFileKeyBytes ||
                emulator->verdicts.size() >= static_cast<size_t>(kMaxRememberedVerdicts) ||
                !ParseNumber(f[2], UINT64_MAX, &verdict.stamp.size) ||
                !ParseNumber(f[3], UINT64_MAX, &verdict.stamp.writeTime) ||
                !ParseFlag(f[4], &verdict.good))
                return false;
            verdict.lastUse = ++emulator->clock;
            emulator->verdicts[f[1]] = verdict;
        } else if (f[0] == "end") {
            uint64_t failures, verdicts;
            return f.size() == 4 && ParseNumber(f[1], UINT64_MAX, &number) &&
                   number == emulator->machines.size() &&
                   ParseNumber(f[2], UINT64_MAX, &failures) &&
                   failures == emulator->failures.size() &&
                   ParseNumber(f[3], UINT64_MAX, &verdicts) &&
                   verdicts == emulator->verdicts.size() && fgetc(file) == EOF;
        } else {
            return false;
        }
    }
}

void LoadCacheFile(const std::string &exePath, EmulatorFacts *emulator)
{
    emulator->loaded = true;
    char path[1200];
    if (!CacheFilePath(exePath, path, sizeof path))
        return;
    FILE *file = OpenFile(path, "rb");
    if (!file)
        return;
    bool good = ReadCacheFile(file, exePath, emulator);
    fclose(file);
    if (!good) {
        // Start afresh; the unusable file is replaced at the next save.
        emulator->machines.clear();
        emulator->failures.clear();
        emulator->verdicts.clear();
        emulator->changed = true;
    }
}

// Removes the facts-*.tmp files of processes that have ended: a write cut
// short (the process killed) leaves its temporary file behind.
void RemoveLeftoverTemporaries()
{
    char folder[1024], path[1300];
    DIR *dir = GetCacheFolder(folder, sizeof folder) ? OpenFolder(folder) : nullptr;
    if (!dir)
        return;
    while (dirent *item = readdir(dir)) {
        // facts-HASH.txt.PROCESS.tmp
        std::string name = item->d_name;
        if (name.size() < 10 || name.compare(0, 6, "facts-") != 0 ||
            name.compare(name.size() - 4, 4, ".tmp") != 0)
            continue;
        size_t dot = name.rfind('.', name.size() - 5);
        unsigned long id = dot == std::string::npos ? 0 : strtoul(&name[dot + 1], nullptr, 10);
        if (!ProcessRuns(id) && FormatText(path, sizeof path, "%s\\%s", folder, name.c_str()))
            RemoveFile(path);
    }
    closedir(dir);
}

// Takes in the failed choices that another process wrote to the file since
// it was read (the later time of each), and the set verdicts this process
// lacks, so that neither loses the other's.
void MergeFailuresFromFile(const std::string &exePath, EmulatorFacts *emulator)
{
    char path[1200];
    FILE *file = CacheFilePath(exePath, path, sizeof path) ? OpenFile(path, "rb") : nullptr;
    if (!file)
        return;
    EmulatorFacts written;
    written.stamp = emulator->stamp;
    bool good = ReadCacheFile(file, exePath, &written);
    fclose(file);
    if (!good)
        return;
    auto &failures = emulator->failures;
    for (const auto &failure : written.failures) {
        auto found = failures.emplace(failure).first;
        found->second = std::max(found->second, failure.second);
    }
    auto older = [](const auto &a, const auto &b) { return a.second < b.second; };
    while (failures.size() > static_cast<size_t>(kMaxRememberedFailures))
        failures.erase(std::min_element(failures.begin(), failures.end(), older));
    for (const auto &verdict : written.verdicts)
        if (emulator->verdicts.size() < static_cast<size_t>(kMaxRememberedVerdicts))
            emulator->verdicts.emplace(verdict);
}

bool WriteCacheFile(const std::string &exePath, const EmulatorFacts &emulator, time_t now)
{
    char path[1200], temporary[1300];
    if (!CacheFilePath(exePath, path, sizeof path) ||
        !FormatText(temporary, sizeof temporary, "%s.%lu.tmp", path, CurrentProcessId()))
        return false;
    RemoveLeftoverTemporaries();
    FILE *file = OpenFile(temporary, "wb");
    if (!file)
        return false;
    fputs(kFileVersion, file);
    fputs("\nexe", file);
    WriteField(file, exePath);
    WriteNumber(file, emulator.stamp.size);
    WriteNumber(file, emulator.stamp.writeTime);
    fputc('\n', file);

    // Least recently used first, so that reading the file back keeps the order.
    std::multimap<uint64_t, const std::pair<const std::string, Remembered> *> byUse;
    for (const auto &machine : emulator.machines)
        if (FitsInFile(machine.first, machine.second.facts))
            byUse.emplace(machine.second.lastUse, &machine);
    for (const auto &entry : byUse)
        WriteMachine(file, entry.second->first, entry.second->second.facts);
    size_t failures = 0;
    for (const auto &failure : emulator.failures) {
        if (now - failure.second >= kFailureMemorySeconds || failure.first.size() >= kFileKeyBytes)
            continue;
        fputc('f', file);
        WriteField(file, failure.first);
        WriteNumber(file, static_cast<uint64_t>(failure.second));
        fputc('\n', file);
        ++failures;
    }
    size_t verdicts = 0;
    for (const auto &verdict : emulator.verdicts) {
        if (verdict.first.size() >= kFileKeyBytes)
            continue;
        fputc('v', file);
        WriteField(file, verdict.first);
        WriteNumber(file, verdict.second.stamp.size);
        WriteNumber(file, verdict.second.stamp.writeTime);
        WriteNumber(file, verdict.second.good);
        fputc('\n', file);
        ++verdicts;
    }
    fputs("end", file);
    WriteNumber(file, byUse.size());
    WriteNumber(file, failures);
    WriteNumber(file, verdicts);
    fputc('\n', file);
    bool written = !ferror(file);
    if (fclose(file) != 0)
        written = false;
    if (!written) {
        RemoveFile(temporary);
        return false;
    }
    return ReplaceFileWith(temporary, path);
}

// ---- Memory -----------------------------------------------------------------------

// The facts of the executable at exePath, valid for its present version;
// nullptr when the executable cannot be looked at (nothing is then
// remembered: a later version could not be told from this one).
EmulatorFacts *FactsOf(const std::string &exePath)
{
    FileStamp stamp;
    if (!GetFileStamp(exePath.c_str(), &stamp))
        return nullptr;
    auto &emulators = Emulators();
    auto found = emulators.find(exePath);
    if (found == emulators.end()) {
        if (emulators.size() >= static_cast<size_t>(kMaxEmulators))
            DropOldest(emulators, ByLastUse);
        found = emulators.emplace(exePath, EmulatorFacts()).first;
    }
    EmulatorFacts &emulator = found->second;
    if (emulator.stamp.size != stamp.size || emulator.stamp.writeTime != stamp.writeTime) {
        // Another version of the emulator: what the old one said is void.
        emulator = EmulatorFacts();
        emulator.stamp = stamp;
    }
    emulator.lastUse = ++emulatorClock;
    if (!emulator.loaded)
        LoadCacheFile(exePath, &emulator);
    return &emulator;
}

void Remember(EmulatorFacts *emulator, const std::string &name, const MachineFacts &facts)
{
    auto &machines = emulator->machines;
    if (machines.size() >= static_cast<size_t>(kMaxRememberedMachines))
        DropOldest(machines, ByLastUse);
    Remembered &remembered = machines[name];
    remembered.facts = facts;
    remembered.lastUse = ++emulator->clock;
    emulator->changed = true;
}

bool ExePath(const char *folder, const char *exe, std::string *path)
{
    char full[2048];
    if (!FormatText(full, sizeof full, "%s\\%s", folder, exe))
        return false;
    *path = full;
    return true;
}

}   // namespace

bool IsRunnableMachine(const MachineFacts &facts)
{
    return facts.known && !facts.bios && !facts.device && facts.runnable;
}

bool ShowsSomething(const MachineFacts &facts)
{
    return facts.screen && !facts.mechanical;
}

bool GetMachineFacts(const char *folder, const char *exe, const char *name,
                     MachineFacts *facts, bool *fromCache)
{
    if (fromCache)
        *fromCache = false;
    std::string exePath;
    char command[1024];
    // The name goes onto the command line unquoted.
    if (!IsPlainName(name) || !ExePath(folder, exe, &exePath) ||
        !FormatText(command, sizeof command, "\"%s\\%s\" -listxml %s", folder, exe, name))
        return false;

    {
        std::lock_guard<std::mutex> lock(FactsLock());
        if (EmulatorFacts *emulator = FactsOf(exePath)) {
            auto found = emulator->machines.find(name);
            if (found != emulator->machines.end()) {
                found->second.lastUse = ++emulator->clock;
                *facts = found->second.facts;
                if (fromCache)
                    *fromCache = true;
                return true;
            }
        }
    }

    std::unique_ptr<char[]> report(new char[kRunnerOutputBytes]);
    report[0] = '\0';
    ++queriesRun;
    int result = RunQuery(command, report.get());
    // Whatever the runner did, the scans must stop inside the buffer.
    report[kRunnerOutputBytes - 1] = '\0';
    // Only a report read to its end (or to the runner's limit) tells the
    // truth; a query that timed out, was cancelled or could not start says
    // nothing about the machine.
    if (result != 0 && result != 12)
        return false;
    ReadMachineFacts(report.get(), name, facts);
    // The query ran unlocked: the executable's facts are looked up again.
    std::lock_guard<std::mutex> lock(FactsLock());
    EmulatorFacts *emulator = facts->answered ? FactsOf(exePath) : nullptr;
    if (emulator)
        Remember(emulator, name, *facts);
    return true;
}

bool SaveMachineFacts()
{
    bool saved = true;
    time_t now = time(nullptr);
    std::lock_guard<std::mutex> lock(FactsLock());
    for (auto &entry : Emulators()) {
        EmulatorFacts &emulator = entry.second;
        if (!emulator.changed)
            continue;
        MergeFailuresFromFile(entry.first, &emulator);
        // A file that cannot be written costs only speed: try again next time.
        if (WriteCacheFile(entry.first, emulator, now))
            emulator.changed = false;
        else
            saved = false;
    }
    return saved;
}

void ForgetMachineFacts()
{
    std::lock_guard<std::mutex> lock(FactsLock());
    Emulators().clear();
}

long MachineQueriesRun()
{
    return queriesRun;
}

void RememberFailedChoice(const char *folder, const char *exe, const char *key, time_t now)
{
    std::string exePath;
    std::lock_guard<std::mutex> lock(FactsLock());
    EmulatorFacts *emulator = ExePath(folder, exe, &exePath) ? FactsOf(exePath) : nullptr;
    if (!emulator || strlen(key) >= kFileKeyBytes)
        return;
    auto &failures = emulator->failures;
    if (failures.size() >= static_cast<size_t>(kMaxRememberedFailures) && !failures.count(key))
        DropOldest(failures, [](int64_t when) { return when; });
    failures[key] = static_cast<int64_t>(now);
    emulator->changed = true;
}

bool ChoiceFailedRecently(const char *folder, const char *exe, const char *key, time_t now)
{
    std::string exePath;
    std::lock_guard<std::mutex> lock(FactsLock());
    EmulatorFacts *emulator = ExePath(folder, exe, &exePath) ? FactsOf(exePath) : nullptr;
    if (!emulator)
        return false;
    auto found = emulator->failures.find(key);
    if (found == emulator->failures.end())
        return false;
    // A clock put back counts the failure as recent for at most a day more.
    int64_t age = static_cast<int64_t>(now) - found->second;
    return age < kFailureMemorySeconds && age > -kFailureMemorySeconds;
}

namespace {

EmulatorFacts *FactsOfEmulator(const char *folder, const char *exe)
{
    std::string exePath;
    return ExePath(folder, exe, &exePath) ? FactsOf(exePath) : nullptr;
}

FileStamp EntryStamp(const char *entryPath)
{
    FileStamp stamp;
    if (!GetEntryStamp(entryPath, &stamp))
        stamp = FileStamp();
    return stamp;
}

}   // namespace

int RememberedRomVerdict(const char *folder, const char *exe, const char *entryPath)
{
    std::lock_guard<std::mutex> lock(FactsLock());
    EmulatorFacts *emulator = FactsOfEmulator(folder, exe);
    if (!emulator)
        return -1;
    auto found = emulator->verdicts.find(entryPath);
    if (found == emulator->verdicts.end())
        return -1;
    FileStamp now = EntryStamp(entryPath);
    // A set that was changed since (files added, replaced) is judged anew.
    if (now.size != found->second.stamp.size || now.writeTime != found->second.stamp.writeTime)
        return -1;
    found->second.lastUse = ++emulator->clock;
    return found->second.good ? 1 : 0;
}

void RememberRomVerdict(const char *folder, const char *exe, const char *entryPath, bool good)
{
    std::lock_guard<std::mutex> lock(FactsLock());
    EmulatorFacts *emulator = FactsOfEmulator(folder, exe);
    if (!emulator || strlen(entryPath) >= kFileKeyBytes)
        return;
    auto &verdicts = emulator->verdicts;
    if (verdicts.size() >= static_cast<size_t>(kMaxRememberedVerdicts) && !verdicts.count(entryPath))
        DropOldest(verdicts, ByLastUse);
    Verdict &verdict = verdicts[entryPath];
    FileStamp stamp = EntryStamp(entryPath);
    emulator->changed = emulator->changed || verdict.lastUse == 0 || verdict.good != good ||
                        verdict.stamp.size != stamp.size ||
                        verdict.stamp.writeTime != stamp.writeTime;
    verdict.stamp = stamp;
    verdict.good = good;
    verdict.lastUse = ++emulator->clock;
}
