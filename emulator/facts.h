// Everything the saver needs to know about one machine, read from one
// -listxml report of it and remembered: in memory for the session and in a
// small cache file per emulator executable across sessions.
//
// The cache file lives in the folder GetCacheFolder gives (on Windows
// %LOCALAPPDATA%\Quillmere), named facts-HASH.txt after the executable's full
// path. It is text: a version line, the executable's full path, size and
// last-write time, then one line per machine (least recently used first), one
// per failed choice, one per verdict on a ROM entry, and an end line with
// the three counts. A file that does not
// match the executable or does not parse to its end line is ignored and
// later rewritten. It holds at most kMaxRememberedMachines machines (the
// least recently used go first); a machine whose texts are longer than the
// file's limits is remembered for the session only. Each write first takes
// in the failed choices another process (the saver, quillmere-check) wrote
// since, and removes the temporary files that ended processes left behind.
//
// Safe from several threads at once (a new session's round worker may start
// while the last one's is still finishing): what is held in memory is behind
// one lock, which no query waits under.
#pragma once
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

constexpr int kMaxRememberedMachines = 50000;   // a full arcade set is ~46,000
constexpr int kMaxRememberedFailures = 1000;
constexpr int64_t kFailureMemorySeconds = 24 * 60 * 60;
constexpr int kMaxRememberedVerdicts = 50000;

// One extension value as the device scan first meets it, with the device
// name that the scan holds at that moment. usable is false when that name
// is too long to be given out: the scan then answers 0 for this value.
struct DeviceValue {
    std::string value;    // 0 to 3 characters, as the report writes it
    std::string device;
    bool usable = true;
};

struct MachineFacts {
    bool known = false;      // the report holds a machine element of this name
    bool answered = false;   // the emulator answered: it knows the machine or says it does not
    bool bios = false;       // isbios="yes"
    bool device = false;     // isdevice="yes"
    bool runnable = true;    // not runnable="no"
    std::string cloneOf;
    std::string romOf;       // the set whose files this one borrows
    bool screen = true;      // a display (or an older emulator's video) element
    bool mechanical = false; // ismechanical="yes"
    bool preliminary = false;   // the driver's status is "preliminary": it does not work
    std::vector<std::string> disks;   // the disks it cannot run without
    int driverVerdict = 1;   // IsDriverImperfect's answer
    int infoFound = 0;       // GetDriverInformation's answer, with what it writes:
    bool descriptionWritten = false, yearWritten = false;
    std::string description, year;
    std::vector<DeviceValue> devices;   // each value once, in the scan's order
};

// True when the saver may launch the machine: the emulator knows it and it is
// neither a BIOS set nor a device, and it is runnable.
bool IsRunnableMachine(const MachineFacts &facts);

// True when a run of the machine shows something: it has a screen and is no
// mechanical game (whose lamps and reels no emulator draws).
bool ShowsSomething(const MachineFacts &facts);

// The facts of machine name under the emulator folder\exe: remembered ones
// (*fromCache true), or those of one -listxml query now. False when there
// are none: the name is not a plain driver name, the command does not fit,
// or the query did not run to its end (not started, timed out, cancelled);
// such a failure is not remembered, nor is an answer that is not the
// emulator's (empty output), nor anything about an executable whose size and
// write time cannot be read (a new version could not be told from it).
// fromCache may be nullptr.
bool GetMachineFacts(const char *folder, const char *exe, const char *name,
                     MachineFacts *facts, bool *fromCache);

// Writes the cache file of every executable whose facts changed (write a
// temporary file, then replace). False when one could not be written; the
// facts stay in memory either way. The round worker calls it after each
// round, quillmere-check at its end.
bool SaveMachineFacts();

// Drops everything held in memory; the next question reads the file again.
void ForgetMachineFacts();

// How many -listxml queries this thread has run for machine facts.
long MachineQueriesRun();

// The failure watchdog's memory, kept in the same file: key (a round's key)
// failed at time now; did key fail within kFailureMemorySeconds before now?
void RememberFailedChoice(const char *folder, const char *exe, const char *key, time_t now);
bool ChoiceFailedRecently(const char *folder, const char *exe, const char *key, time_t now);

// What -verifyroms or an emulator's exit said of the ROM entry at entryPath
// (a set's zip, 7z or folder; for MESS, a system's entry in its BIOS
// folder), while the entry keeps the size and last-write time it had then
// (a missing entry has a stamp of its own): 1 good, 0 broken, -1 nothing
// remembered or the entry changed since.
int RememberedRomVerdict(const char *folder, const char *exe, const char *entryPath);
void RememberRomVerdict(const char *folder, const char *exe, const char *entryPath, bool good);
