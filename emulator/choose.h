// The random choice of what the next run shows, and the emulator command
// line that launches it.
#pragma once

constexpr int kMachineBytes = 64;
constexpr int kSoftwareBytes = 1024;
constexpr int kCommandBytes = 1024;
constexpr int kEntryNameBytes = 260;

// How many times one choice may draw a new system after the previous one
// had no folder to open; then the choice gives up (result 1).
constexpr int kMaxNewMachineDraws = 100;

// 1 and the name (no path) of one entry of folder other than "." and "..",
// drawn at random, copied into name (260 bytes); 0 when folder cannot be
// listed or holds no such entry.
int GetRandomFileInDirectory(const char *folder, char *name);

// Turns a ROM folder entry, in place, into the driver name it stands for:
// lower case, cut at ".zip" or ".7z". False when what is left is no plain
// driver name (a "-createconfig.zip" would add an option of its own).
bool RomEntryToDriverName(char *entry);

// Tosses the coin between MAME and MESS (MameOrMess tells which) and draws a
// game, or a system and a piece of software for it. 0: machine (64 bytes),
// software and command (1024 bytes each) hold the choice; 1: nothing was
// chosen this time (the buffers may hold partial values), call again.
// With neither emulator configured the process ends with exit status 1.
int ChooseSoftware(char *machine, char *software, char *command);

// Where the files of the latest successful choice's machine are (the set's
// entry in the ROM folder, or a MESS system's in its BIOS folder): what an
// emulator that ends for missing files has shown broken. Empty when unknown.
// Per thread.
const char *ChosenRomEntry();

// Consulted for each choice as soon as its machine and software are known,
// before any query about it: false refuses it (the choice returns 1). Set
// per thread; nullptr (the start) takes every choice. An arcade choice has
// an empty machine and the game as its software.
using ChoiceFilter = bool (*)(void *context, int mameOrMess, const char *machine,
                              const char *software);
void SetChoiceFilter(ChoiceFilter filter, void *context);
