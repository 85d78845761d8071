#include "artwork/lookup.h"

#include <cstring>

#include "base/files.h"
#include "base/format.h"
#include "base/random.h"
#include "config/settings.h"
#include "emulator/choose.h"

namespace {

struct Category {
    const char *folder;
    int mameMode;
    int messMode;
};

// Titles are screen grabs like snapshots, so MAME stretches them; MESS
// shows them as artwork.
const Category kCategories[] = {
    {"cabinets", kArtworkMode, kArtworkMode},
    {"cpanel", kArtworkMode, kArtworkMode},
    {"flyers", kArtworkMode, kArtworkMode},
    {"marquees", kArtworkMode, kArtworkMode},
    {"titles", kSnapshotMode, kArtworkMode},
    {"pcb", kArtworkMode, kArtworkMode},
};
constexpr int kCategoryCount = sizeof(kCategories) / sizeof(kCategories[0]);

enum class Emulator { Mame, Mess };

// Copies candidate to path and answers 1 when the file opens.
int AcceptWhenOpens(char *path, const char *candidate)
{
    if (!FileCanBeOpened(candidate))
        return 0;
    return CopyText(path, kPicturePathBytes, candidate) ? 1 : 0;
}

int TryCategory(char *path, const char *base, const char *key, Emulator emulator, int *mode)
{
    const Category &row = kCategories[RandomDraw() % kCategoryCount];
    *mode = emulator == Emulator::Mame ? row.mameMode : row.messMode;
    char candidate[kPicturePathBytes];
    if (!FormatText(candidate, sizeof candidate, "%s\\%s\\%s.png", base, row.folder, key))
        return 0;
    return AcceptWhenOpens(path, candidate);
}

// A random entry of base\snap\folderName.
int TryRandomSnapshot(char *path, const char *base, const char *folderName)
{
    char folder[kPicturePathBytes];
    if (!FormatText(folder, sizeof folder, "%s\\snap\\%s", base, folderName))
        return 0;
    char name[kEntryNameBytes];
    if (!GetRandomFileInDirectory(folder, name))
        return 0;
    char candidate[kPicturePathBytes];
    if (!FormatText(candidate, sizeof candidate, "%s\\snap\\%s\\%s", base, folderName, name))
        return 0;
    return AcceptWhenOpens(path, candidate);
}

// Position of a '.' among the last four characters of name, scanning from
// the end; -1 when there is none (no extension of at most three letters).
long ShortExtensionDot(const char *name)
{
    long length = static_cast<long>(strlen(name));
    for (long i = length - 1; i >= 0 && i >= length - 4; i--)
        if (name[i] == '.')
            return i;
    return -1;
}

int TryMessSnapshot(char *path, const char *system, const char *software)
{
    long dot = ShortExtensionDot(software);
    if (dot < 0)
        return TryRandomSnapshot(path, MessPath, system);
    char stem[kPicturePathBytes];
    char fileName[kPicturePathBytes];
    if (!CopyTextPart(stem, sizeof stem, software, static_cast<size_t>(dot))
        || !FormatText(fileName, sizeof fileName, "%s.png", stem))
        return 0;
    char candidate[kPicturePathBytes];
    if (!FormatText(candidate, sizeof candidate, "%s\\snap\\%s\\%s", MessPath, system, fileName))
        return 0;
    return AcceptWhenOpens(path, candidate);
}

}  // namespace

int GetMAMEPicture(char *path, const char *game, int *mode)
{
    for (int attempt = 0; attempt < kPictureAttempts; attempt++) {
        int found;
        if (RandomDraw() % 5 != 0) {
            found = TryCategory(path, MamePath, game, Emulator::Mame, mode);
        } else {
            *mode = kSnapshotMode;
            found = TryRandomSnapshot(path, MamePath, game);
        }
        if (found)
            return 1;
    }
    return 0;
}

int GetMESSPicture(char *path, const char *system, const char *software, int *mode)
{
    for (int attempt = 0; attempt < kPictureAttempts; attempt++) {
        int found;
        if (RandomDraw() % 5 != 0) {
            found = TryCategory(path, MessPath, system, Emulator::Mess, mode);
        } else {
            *mode = kSnapshotMode;
            found = TryMessSnapshot(path, system, software);
        }
        if (found)
            return 1;
    }
    return 0;
}
