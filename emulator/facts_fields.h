// The text of the machine facts cache file, one field at a time: fields are
// separated by tabs, lines end in a line feed; inside a field, bytes below
// 32, 127 and '%' are written as %XX.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "emulator/facts.h"

// A tab, then text escaped.
void WriteField(FILE *file, const std::string &text);
// A tab, then number in decimal.
void WriteNumber(FILE *file, uint64_t number);

// Splits one line (without its line feed) into its decoded fields; false
// when an escape is malformed.
bool SplitLine(const char *line, std::vector<std::string> *fields);

// A decimal number of at most limit; a flag "0" or "1".
bool ParseNumber(const std::string &text, uint64_t limit, uint64_t *number);
bool ParseFlag(const std::string &text, bool *flag);

// One machine's line: whether its facts fit the file's limits (longer ones
// stay in memory only), the line written, and read back (false for a line
// that is damaged or breaks a limit, a cloneof that is no plain name among
// them).
bool FitsInFile(const std::string &name, const MachineFacts &facts);
void WriteMachine(FILE *file, const std::string &name, const MachineFacts &facts);
bool ParseMachine(const std::vector<std::string> &fields, std::string *name, MachineFacts *facts);
