// Small helpers the tests share for real material on disk.
#pragma once
#include <string>
#include <vector>

// The files of folder whose names end in suffix, sorted, each joined to the
// folder with separator ('/' natively, '\\' for Windows paths).
std::vector<std::string> FilesEndingIn(const std::string &folder, const std::string &suffix,
                                       char separator);

// All the bytes of a file; empty when it cannot be read.
std::string ReadWhole(const std::string &path);

#ifdef _WIN32
// The folder of the running test program, ending in its separator.
std::string ExecutableFolder();
#endif

// Runs a shell command and returns all it wrote to standard output; *ok (when
// given) tells whether it exited with 0. POSIX only.
std::string CommandOutput(const std::string &command, bool *ok = nullptr);
