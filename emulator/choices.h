// What the user chooses to see of the arcade games: a list of favourites, the
// categories to skip (from a catver.ini category file), and the sound level
// the emulators get on their command lines.
#pragma once
#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

// Draws one entry of the ROM folder into entry (260 bytes): with
// MameGameList set, among the entries of the games that file names (and
// nothing else of the folder); otherwise among all. 1 when one was drawn, 0
// when there is none to draw (or the list cannot be read). One draw.
int DrawGameEntry(char *entry);

// True when the category file (CategoryFilePath) puts game into a category
// that MameSkipCategories names. A game the file does not name, or no file,
// is not skipped.
bool CategorySkipped(const char *game);

// The options SoundVolume adds before the user's own, with a blank after
// them: "" (0 or less), "-volume -N " (1 to 32), "-sound none " (33 and more).
std::string SoundOptions();

// The names of a game list file, lower-cased, each once: one short name a
// line; blank lines, lines starting with '#' or ';' and "[section]" lines
// are skipped, and so is anything that is no plain driver name (MAME's
// folder .ini files read as they are). False when the file cannot be read.
bool ReadGameList(const char *path, std::vector<std::string> *names);

// The category of each game named in a category file's [Category] section
// ("name=Genre / Sub" lines; the section ends at the next one). False when
// the file cannot be read.
using Categories = std::unordered_map<std::string, std::string>;
bool ReadCategories(const char *path, Categories *categories);

// The category file in use: MameCategoryFile, else catver.ini beside the
// MAME executable or in its "folders" subfolder, if there. False when none.
bool CategoryFilePath(char *path, size_t size);

// True when category falls under one of the ';'-separated prefixes of
// skipped (letter case aside, blanks around a prefix ignored); the prefix
// "Mature" also matches the " * Mature *" mark of adult titles.
bool CategoryMatches(const std::string &category, const char *skipped);
