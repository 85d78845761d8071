#include <gtest/gtest.h>

#include <string>

#include "saver/titlecard.h"

// Arcade runs show "MAME" over the description, else the game's name; MESS
// runs the description, else the system, over the software.
TEST(TitleCardTexts, TitleTable)
{
    for (auto row : {std::pair{10, "MAME/Pac-Man"}, {11, "MAME/pacman.zip"}, {0, "Pac-Man/pacman.zip"},
                     {1, "nes/pacman.zip"}}) {
        TitleCard card = ChooseTitleCard(row.first / 10, row.first % 10 == 0, "Pac-Man", "nes", "pacman.zip");
        EXPECT_EQ(row.second, std::string(card.title) + "/" + card.subtitle) << row.first;
    }
}
