// The doctor's shared vocabulary: findings, samples, counted words and the
// topics, each in a file of its own by what it checks.
#pragma once
#include <chrono>
#include <string>
#include <vector>

#include "emulator/facts.h"

namespace doctor {

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

// Set by the first finding that fails.
extern bool anyFailed;

// The sentences count with size_t (%zu), which the Windows runtime's own
// formatter does not know: there, mingw's formatter writes them.
std::string Text(const char *format, ...) __attribute__((format(gnu_printf, 1, 2)));

// One finding. The sentence is kept on its line: tabs and line ends in
// file names become blanks. Natively the paths are shown with the slashes
// the user types.
void Say(Level level, const char *topic, const std::string &sentence);

// The names of folder's entries but "." and ".."; false when it cannot be listed.
bool ListFolder(const char *folder, std::vector<std::string> *names);
bool IsFolder(const std::string &path);

// Up to kSampleSize distinct indexes below count, drawn at random; all of
// them, in order, when there are no more.
std::vector<size_t> Sample(size_t count);

// "(sampled N of M entries)" when only part was looked at.
std::string SampleNote(size_t checked, size_t total, const char *what);

// "1 entry", "2 entries".
std::string Count(size_t n, const char *one, const char *more);

// Up to kNamesShown names, comma-separated, "..." after more.
std::string Names(const std::vector<std::string> &names);

// A ROM folder entry as the saver turns it into a driver name; empty when
// the saver would refuse it.
std::string SetName(const std::string &entry);

// Facts of name while the topic's query time lasts: 1 found, 0 no answer,
// -1 out of time (nothing asked).
int FactsInTime(const Emulator &emulator, const std::string &name, Clock::time_point deadline,
                MachineFacts *facts);

Clock::time_point TopicDeadline();

// Where the settings come from, as a sentence names it.
std::string Where();

// Where the user changes the setting stored as value: the configuration
// dialog's box (by its label), the registry value for the timers without a
// box, or the settings file's key.
std::string Setting(const char *value);

// The ROM folder's entries, and what the sampled ones are. The sample and
// its facts are handed back for the artwork topic.
struct RomSample {
    std::vector<std::string> entries;     // the sampled entries, as the folder lists them
    std::vector<std::string> names;       // driver names ("" when not one)
    std::vector<std::string> parents;     // cloneOf, when the facts are known
    size_t total = 0;
};

struct SystemFolder {
    std::string name;
    MachineFacts facts;
    bool known = false;
};

// The topics, in the order the doctor runs them.
void CheckSettingsTopic();
// Present, and answers -listxml about probe (a machine every build of it
// knows) within kAnswerLimitMs.
void CheckExecutable(Emulator &emulator, const Emulator &other, const char *probe);
RomSample CheckRomFolder(const Emulator &mame);
// The game list, the category file, what each filter leaves out of the
// sample, and how many sampled sets -verifyroms finds broken.
void CheckChoices(const Emulator &mame, const RomSample &roms);
void CheckSoftwareTree(const Emulator &mess, std::vector<SystemFolder> *systems);
void CheckAllowedSystems(const Emulator &mess);
void CheckArtwork(const Emulator &mame, const RomSample &roms, const Emulator &mess,
                  const std::vector<SystemFolder> &systems);
void CheckTimers();
// Whether the session's hot keys can be taken on this desktop.
void CheckHotKeys();
// The hot keys finding: held names the keys another program holds, why says
// how (an error code, a likely owner).
void SayHeldKeys(const std::vector<std::string> &held, const std::string &why);

}   // namespace doctor
