#include "saver/modes.h"

#include <cctype>

SaverCommand ParseSaverCommandLine(const char *commandLine)
{
    SaverCommand command{SaverMode::Configure, 0};
    for (const char *p = commandLine; p && *p; ++p) {
        switch (tolower(static_cast<unsigned char>(*p))) {
        case 's':
            command.mode = SaverMode::Run;
            return command;
        case 'c':
            return command;
        case 'a':
            command.mode = SaverMode::Password;
            return command;
        case 'p':
            command.mode = SaverMode::Preview;
            // Windows writes "/p 1234" and sometimes "/p:1234".
            for (++p; *p == ' ' || *p == '\t' || *p == ':'; ++p) {
            }
            for (; isdigit(static_cast<unsigned char>(*p)); ++p)
                command.parent = command.parent * 10 + static_cast<uintptr_t>(*p - '0');
            return command;
        default:
            break;
        }
    }
    return command;
}
