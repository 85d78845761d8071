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
        case 'a':
            command.mode = SaverMode::Password;
            return command;
        case 'c':
        case 'p':
            command.mode = tolower(static_cast<unsigned char>(*p)) == 'c' ? SaverMode::Configure
                                                                        : SaverMode::Preview;
            // Windows writes "/p 1234", "/p:1234" and "/c:1234"; a bare "/c"
            // has no owner.
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
