// Settings from a text file: the store of systems without a registry, and a
// way to try settings without touching the registry (quillmere-check).
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "config/settings.h"

// A store over the settings file: one "Name=value" a line (blanks around
// either side are dropped), named like the registry values in any letter
// case; the numbers in decimal; one "SystemsList=system extension" line per
// allowed system; "~" or "$HOME" at the start of a path is the home folder;
// lines starting with '#' and lines without '=' are skipped, and so are
// unknown names, which UnknownSettingsNames lists. Each load reads the file anew
// (a file that cannot be read is a key that cannot be opened); the store
// never writes.
const SettingsStore *SettingsFileStore();

// Makes path the file the store reads; null: DefaultSettingsFile. False
// when path does not fit.
bool SetSettingsFile(const char *path);

// The file the store reads.
const char *SettingsFile();

// $XDG_CONFIG_HOME/quillmere/settings when that variable holds an absolute
// path, else $HOME/.config/quillmere/settings; empty when neither is set or
// the path does not fit in size bytes.
void DefaultSettingsFile(char *path, size_t size);

// ReadConfigurationInRegistry; but when the store is the settings file and
// there is no such file, Debian's MAME (/usr/games/mame, when it is there)
// with the first folder of the rompath of MAME's own mame.ini, and *note
// says so. The result is ReadConfigurationInRegistry's.
int ReadSettingsOrDefaults(std::string *note);

// The names in the last file read that no setting has, each once.
std::vector<std::string> UnknownSettingsNames();

// "unknown setting "MameRomPath" (did you mean MameRomsPath?)": the
// suggestion is the known name within two letters' edits, when there is one.
std::string UnknownSettingSentence(const std::string &name);
