// quillmere-check: runs the saver's own choice and query code with the
// user's settings and prints what it finds, one line per answer.
#pragma once
#include <string>

// Every command gets its words after the command name: argv[0] is the first
// argument, argc their number (already checked against the table's bounds).
// It returns the exit status: 0 done, 1 failed, 2 bad arguments.
using CheckCommandFunction = int (*)(int argc, char **argv);

enum class CheckNeeds {
    Nothing,     // runs without the settings (pure file tools)
    Settings,    // the saver's settings, with unusable executables switched off
    Stored,      // the settings as stored and the options, nothing checked: the
                 // command judges them itself (CheckSettingsRead tells whether
                 // the store could be read at all)
};

// text as the user writes paths here: natively every backslash the core
// joined a path with becomes a slash; on Windows it is left as it is.
std::string AsShown(const char *text);

// What the settings were read as, when not as they are stored: the
// defaults used without a settings file.
extern std::string settingsNote;

// Set before a CheckNeeds::Stored command runs: true when the settings key
// (or file) could be read; false leaves every setting at its start value.
extern bool CheckSettingsRead;

struct CheckCommand {
    const char *name;
    const char *arguments;   // for the usage text
    int minArguments, maxArguments;
    CheckNeeds needs;
    CheckCommandFunction run;
};
