// What the emulator's -listxml report says about one machine, found by plain
// substring searches. The scans take the report's text; the three questions
// below answer from the machine's facts (emulator/facts.h), which come from
// one report per machine, asked once and remembered.
#pragma once
#include <cstddef>
#include <string>

struct MachineFacts;

// Lower-cases A to Z in place; every other byte stays.
void StrToLower(char *text);

// Are the first length bytes of a and b the same, A to Z taken as a to z?
bool EqualIgnoringCase(const char *a, const char *b, size_t length);

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

// The text of a report's element or attribute as people read it: the
// entities &amp; &lt; &gt; &quot; &apos; and the character references &#NN;
// and &#xNN; (written as UTF-8) decoded; anything else is kept as it stands.
// The result is never longer than the text.
std::string DecodeEntities(const char *text, size_t length);

// The same three answers, scanned from one zero-terminated report text.
int ScanDeviceByExtension(const char *report, const char *fileName, char *device);
int ScanDriverStatus(const char *report);
int ScanDriverInformation(const char *report, char *description, char *year);   // decoded

// Every fact of machine name that the report gives: the three answers above
// (the device answer as the values the device scan compares), and what the
// machine element named name says of itself.
void ReadMachineFacts(const char *report, const char *name, MachineFacts *facts);

// GetDeviceByExtension's answer from facts already at hand.
int DeviceFromFacts(const MachineFacts &facts, const char *fileName, char *device);
