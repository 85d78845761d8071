// The process-wide settings, their registry store and the allowed-systems
// list. Each process (session or dialog) loads them once.
#pragma once
#include <cstdint>

constexpr int kTextSetting = 1024;   // every text setting, NUL included
constexpr int kSystemsListBytes = 10240;

extern char MessPath[kTextSetting];
extern char MessExe[kTextSetting];
extern char MessSoftwarePath[kTextSetting];
extern char MessBiosPath[kTextSetting];
extern char MessOption[kTextSetting];
extern char MamePath[kTextSetting];
extern char MameExe[kTextSetting];
extern char MameRomsPath[kTextSetting];
extern char MameOption[kTextSetting];
extern char MameGameList[kTextSetting];         // a file of the games to draw from; "": the folder
extern char MameCategoryFile[kTextSetting];     // a catver.ini; "": beside the MAME executable
extern char MameSkipCategories[kTextSetting];   // ';'-separated category prefixes to skip

extern int32_t MameCheckOnlyPerfect;
extern int32_t MameShowNotWorking;   // 0: games whose driver is "preliminary" are skipped
extern int32_t MameParentsOnly;      // 1: clones are skipped
extern int32_t SoundVolume;          // 0 as is, 1-32 quieter by so many dB, 33 and more off
extern int32_t TimerEndRun;     // "SystemChangeTimer"
extern int32_t TimerStart;      // "SplashScreenTimer"
extern int32_t TimerStarting;   // "WaitForMESSTimer"
extern int32_t TimerPoll;       // "PollTimer"
extern int32_t DarkAfterMinutes;   // rounds end after this long; 0: never

constexpr char kDefaultSkipCategories[] =
    "Mature;Casino;Tabletop / Mahjong;Tabletop / Hanafuda;Quiz;Slot Machine;Electromechanical;"
    "Medal Game";
constexpr int32_t kSoundOff = 33;    // SoundVolume from which the emulators play no sound

constexpr int32_t kDefaultTimerEndRun = 60000;
constexpr int32_t kDefaultTimerStart = 1000;
constexpr int32_t kDefaultTimerStarting = 2000;
constexpr int32_t kDefaultTimerPoll = 100;
constexpr int32_t kDefaultDarkAfterMinutes = 60;
constexpr int32_t kLongestDarkAfterMinutes = 24 * 60;
// A run and a splash last at most a day. The dialog takes at least a second
// for each; the saver takes any positive value the registry holds (tests and
// benchmarks run sub-second rounds), and the default for any other.
constexpr int32_t kShortestTimerInBox = 1000;
constexpr int32_t kLongestTimer = 24 * 60 * 60 * 1000;

// One allowed pairing of a system and a software extension. Name is wider
// than the classic 8 characters: modern driver names are longer.
struct MachineEntry {
    char Name[64];
    char Extension[24];
};
extern MachineEntry *AvailableMachine;
extern int Number_of_machine;

// 1 while the current choice is an arcade game for MAME, 0 for MESS. Each
// thread has its own: the choice runs on the round worker, which hands its
// result over whole, never through this variable.
extern thread_local int MameOrMess;

// Registry value types, as the registry numbers them.
constexpr unsigned long kRegSz = 1;
constexpr unsigned long kRegDword = 4;
constexpr unsigned long kRegMultiSz = 7;

// The registry operations that loading and saving use, so the same logic runs
// over the real registry and over an in-memory store in tests. Results are
// registry results: 0 for success.
struct SettingsStore {
    // Opens HKCU\Software\Quillmere: for reading (RegOpenKeyExA, KEY_READ) or
    // for writing, creating it when missing (RegCreateKeyExA, KEY_WRITE).
    long (*Open)(bool forWriting, void **key);
    // Reads a value's bytes; *size is the buffer size in, the value size out.
    long (*Query)(void *key, const char *name, void *data, unsigned long *size);
    long (*Set)(void *key, const char *name, unsigned long type,
                const void *data, unsigned long size);
    void (*Close)(void *key);
};

// The registry on Windows; natively the settings file (config/settings_file.h).
const SettingsStore *PlatformSettingsStore();

// Test seam: the store used by loading and saving (nullptr: the platform's).
void SetSettingsStore(const SettingsStore *store);
const SettingsStore *CurrentSettingsStore();

// Loads every setting. 0 when the key was opened, -1 when it could not be
// (then nothing changes). A run or splash timer outside 1 ms to 24 h, and
// DarkAfterMinutes outside 0 to 24 h, is read as its default.
int ReadConfigurationInRegistry();

// Whether the last load read the named value whole and used it as it was
// stored (not replaced by its default).
bool SettingWasStored(const char *name);

// Splits the full executable path held in folder into its folder (kept in
// folder, without the separator before the file name) and its file name
// (copied into exe). Fewer than two components: nothing changes. The
// separators are the platform's (IsPathSeparator): natively a path such as
// /usr/games/mame splits as it is written.
void SplitExecutablePath(char *folder, char *exe);

// Switches off, for this process only, each emulator whose executable
// (folder, a backslash, file name) cannot be opened for reading: its folder
// setting is emptied. False when neither emulator is left.
bool SwitchOffUnusableEmulators();

// Appends the entries of a packed "SystemsList" value (NUL-ended lines, an
// empty line ending the value) to AvailableMachine. Reads at most length
// bytes. Lines with an empty name, or whose name or extension does not fit
// its field, are skipped.
void ParseSystemsList(const char *packed, int length);

// Appends one entry; a word wider than its field is cut to it.
void AppendMachineEntry(const char *name, const char *extension);

// Empties the allowed-systems list (tests and the dialog start over with it).
void ClearMachineList();

// Resets every setting to its start value (empty texts but
// MameSkipCategories at its default, zero numbers but DarkAfterMinutes at
// its default, empty list). Each process starts this way; tests call it between cases.
void ResetSettings();
