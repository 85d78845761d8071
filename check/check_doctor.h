// quillmere-check doctor: what is wrong with the user's set-up, and what to do.
#pragma once

// doctor: checks the settings, both emulator executables, the ROM folder, the
// software tree, the allowed-systems list, the artwork and the timers, and
// prints one line per finding: "ok", "warn" or "fail", a TAB, the topic, a
// TAB and a sentence for the user. Runs over CheckNeeds::Stored settings and
// never stops at a failed topic: what depends on it says it could not be
// checked. Per-entry checks of large folders take a random sample, which the
// sentence names. Returns 0 when nothing failed, 1 otherwise.
int CheckDoctor(int argc, char **argv);
