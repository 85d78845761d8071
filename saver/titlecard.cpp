#include "saver/titlecard.h"

TitleCard ChooseTitleCard(int mameOrMess, bool descriptionFound, const char *description,
                          const char *machine, const char *software)
{
    if (mameOrMess == 1)
        return {"MAME", descriptionFound ? description : software};
    return {descriptionFound ? description : machine, software};
}
