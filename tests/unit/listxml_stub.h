// A stand-in for the hidden runner in the configuration tests: it answers
// "-listxml NAME" command lines with real reports of Debian's mame, captured
// when a test first needs them, or with report text a test sets, and records
// every command line it was given.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "support/test_files.h"
#include "emulator/runner.h"

namespace listxml_stub {

constexpr const char *kMame = "/usr/games/mame";

// The emulator's whole answer (standard output and error) for one name.
inline const std::string &RealReport(const std::string &name)
{
    static std::map<std::string, std::string> reports;
    auto found = reports.find(name);
    if (found != reports.end())
        return found->second;
    return reports[name] =
               CommandOutput(std::string(kMame) + " -listxml '" + name + "' 2>&1");
}

struct State {
    bool useRealMame = true;
    std::map<std::string, std::string> reports;   // name -> text, before the real ones
    std::vector<std::string> commands;
};

inline State &Current()
{
    static State state;
    return state;
}

// The name after " -listxml ", as the emulator would read it.
inline std::string NameOf(const std::string &command)
{
    size_t at = command.rfind(" -listxml ");
    return at == std::string::npos ? std::string() : command.substr(at + 10);
}

inline int Run(char *command, char *output)
{
    State &state = Current();
    state.commands.push_back(command);
    std::string name = NameOf(command);
    std::string text;
    auto set = state.reports.find(name);
    if (set != state.reports.end())
        text = set->second;
    else if (state.useRealMame)
        text = RealReport(name);
    // The runner keeps at most 99999 characters.
    size_t count = std::min(text.size(), static_cast<size_t>(kRunnerOutputBytes - 1));
    memcpy(output, text.data(), count);
    output[count] = '\0';
    return 0;
}

// Installs the stand-in for one test.
class UseStubRunner {
public:
    UseStubRunner()
    {
        Current() = State();
        SetCommandRunner(Run);
    }
    ~UseStubRunner()
    {
        SetCommandRunner(nullptr);
        Current() = State();
    }
    State &state() { return Current(); }
};

}  // namespace listxml_stub
