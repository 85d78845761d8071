#include <gtest/gtest.h>

#include "saver/modes.h"

TEST(SaverCommandLine, FirstModeLetterWinsInEitherCase)
{
    struct Row {
        const char *line;
        SaverMode mode;
        uintptr_t parent;
    } rows[] = {
        {"/s", SaverMode::Run, 0},
        {"/S", SaverMode::Run, 0},
        {"-s", SaverMode::Run, 0},
        {"/c", SaverMode::Configure, 0},
        {"/c:1234", SaverMode::Configure, 0},
        {"", SaverMode::Configure, 0},
        {"   ", SaverMode::Configure, 0},
        {"/a", SaverMode::Password, 0},
        {"/p 1234", SaverMode::Preview, 1234},
        {"/P:655360", SaverMode::Preview, 655360},
        {"/p", SaverMode::Preview, 0},
        // Other characters are skipped until a mode letter appears.
        {"/xyz s", SaverMode::Run, 0},
        {"/sp 12", SaverMode::Run, 0},
        {"/ps 12", SaverMode::Preview, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.line);
        SaverCommand command = ParseSaverCommandLine(row.line);
        EXPECT_EQ(row.mode, command.mode);
        EXPECT_EQ(row.parent, command.parent);
    }
}
