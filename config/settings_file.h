// Settings from a text file: the store of systems without a registry, and a
// way to try settings without touching the registry (quillmere-check).
#pragma once
#include <cstddef>

#include "config/settings.h"

// A store over the settings file: one "Name=value" a line, named like the
// registry values; the timers and MameCheckOnlyPerfect in decimal; one
// "SystemsList=system extension" line per allowed system; lines starting
// with '#', lines without '=' and lines longer than 4095 characters are
// skipped. Each load reads the file anew (a file that cannot be read is a
// key that cannot be opened); the store never writes.
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
