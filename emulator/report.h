// What the emulator's -listxml report says about one machine, found by plain
// substring searches. Each query runs the emulator once, through RunQuery.
#pragma once

// Lower-cases A to Z in place; every other byte stays.
void StrToLower(char *text);

// 1 and the device's name (device: 1024 bytes) when some device of machine
// takes the extension of fileName; 0 otherwise. Uses MessExe from the settings.
int GetDeviceByExtension(const char *folder, const char *machine, const char *fileName,
                         char *device);

// 0 when a driver status is reported and nothing speaks against the game;
// 1 no status or "imperfect", 2 "preliminary", 3 bad dump, 4 missing dump.
int IsDriverImperfect(const char *folder, const char *executable, const char *name);

// 1 when both the description and the year of name were found and written
// (1024-byte buffers each); 0 otherwise.
int GetDriverInformation(const char *folder, const char *executable, const char *name,
                         char *description, char *year);
