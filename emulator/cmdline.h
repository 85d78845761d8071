// Splitting a command line the way the Windows C runtime builds argv, so the
// native builds start programs with exactly the words a Windows emulator
// would receive.
#pragma once
#include <string>
#include <vector>

// The program is the first word: between double quotes up to the next one,
// or up to the first blank. Every later word follows the runtime's rules:
// blanks outside quotes separate, a double quote toggles quoting, 2n
// backslashes before a quote give n backslashes (and the quote toggles),
// 2n+1 give n and a literal quote; other backslashes stand for themselves.
std::vector<std::string> SplitCommandLine(const char *line);

// The words of line as a native program is to receive them: split as above,
// then every backslash (the separator the paths were joined with) turned
// into a slash, as the native file opening does. Slashes stay as written.
std::vector<std::string> NativeCommandWords(const char *line);
