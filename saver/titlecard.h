// Which texts the title card shows for a choice.
#pragma once

struct TitleCard {
    const char *title;      // upper half, one line
    const char *subtitle;   // lower half, word-wrapped
};

// Arcade runs show "MAME" over the description (or the game's name); MESS
// runs show the description (or the system's name) over the software's name.
TitleCard ChooseTitleCard(int mameOrMess, bool descriptionFound, const char *description,
                          const char *machine, const char *software);
