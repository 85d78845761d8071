// quillmere-check: runs the saver's own choice and query code with the
// user's settings and prints what it finds, one line per answer.
#pragma once

// Every command gets its words after the command name: argv[0] is the first
// argument, argc their number (already checked against the table's bounds).
// It returns the exit status: 0 done, 1 failed, 2 bad arguments.
using CheckCommandFunction = int (*)(int argc, char **argv);

enum class CheckNeeds {
    Nothing,     // runs without the settings (pure file tools)
    Settings,    // the saver's settings, with unusable executables switched off
};

struct CheckCommand {
    const char *name;
    const char *arguments;   // for the usage text
    int minArguments, maxArguments;
    CheckNeeds needs;
    CheckCommandFunction run;
};
