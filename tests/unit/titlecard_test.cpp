#include <gtest/gtest.h>

#include "saver/titlecard.h"

TEST(TitleCardTexts, TitleTable)
{
    struct Row {
        int mameOrMess;
        bool found;
        const char *title, *subtitle;
    } rows[] = {
        {1, true, "MAME", "Pac-Man (Midway)"},
        {1, false, "MAME", "pacman.zip-name"},
        {0, true, "Pac-Man (Midway)", "pacman.zip-name"},
        {0, false, "nes", "pacman.zip-name"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.mameOrMess * 2 + row.found);
        TitleCard card =
            ChooseTitleCard(row.mameOrMess, row.found, "Pac-Man (Midway)", "nes", "pacman.zip-name");
        EXPECT_STREQ(row.title, card.title);
        EXPECT_STREQ(row.subtitle, card.subtitle);
    }
}
