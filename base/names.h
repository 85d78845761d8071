// The rules for text that reaches an emulator command line.
#pragma once
#include <cstddef>

// True when name is not empty and holds only ASCII letters, digits and '_',
// as every driver and device name does. Anything else (a blank, a leading
// dash) could add options of its own to the command line.
bool IsPlainName(const char *name);

// True when text can stand between double quotes as one argument: no double
// quote inside (it would end the argument early).
bool FitsBetweenQuotes(const char *text);

// Copies folder into out (size bytes) with its trailing backslashes doubled,
// so that between double quotes the C runtime gives back exactly the folder:
// "E:\" would swallow the closing quote, "E:\\" yields E:\. False when the
// result does not fit or the folder holds a double quote (out is then empty).
bool FolderForQuotes(char *out, size_t size, const char *folder);
