#include "artwork/lookup.h"

#include <cstring>

#include "artwork/zipmember.h"

#include "base/files.h"
#include "base/format.h"
#include "base/random.h"
#include "config/mame_ini.h"
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

int TryMessSnapshot(char *path, const char *base, const char *system, const char *software)
{
    long dot = ShortExtensionDot(software);
    if (dot < 0)
        return TryRandomSnapshot(path, base, system);
    char stem[kPicturePathBytes];
    char fileName[kPicturePathBytes];
    if (!CopyTextPart(stem, sizeof stem, software, static_cast<size_t>(dot))
        || !FormatText(fileName, sizeof fileName, "%s.png", stem))
        return 0;
    char candidate[kPicturePathBytes];
    if (!FormatText(candidate, sizeof candidate, "%s\\snap\\%s\\%s", base, system, fileName))
        return 0;
    return AcceptWhenOpens(path, candidate);
}

// The sources tried when every random attempt failed, in this order; the
// first that holds KEY.png is taken. nullptr archive: the flat snapshot
// snap\KEY.png; otherwise ARCHIVE.zip beside the emulator, member KEY.png.
struct FixedSource {
    const char *archive;
    int mameMode;
    int messMode;
};
const FixedSource kFixedSources[] = {
    {nullptr, kSnapshotMode, kSnapshotMode},
    {"snap", kSnapshotMode, kSnapshotMode},
    {"titles", kSnapshotMode, kArtworkMode},
    {"flyers", kArtworkMode, kArtworkMode},
    {"cabinets", kArtworkMode, kArtworkMode},
    {"cpanel", kArtworkMode, kArtworkMode},
    {"marquees", kArtworkMode, kArtworkMode},
    {"pcb", kArtworkMode, kArtworkMode},
};

int TryFixedSource(char *path, const char *base, const char *key, const FixedSource &source)
{
    char candidate[kPicturePathBytes];
    if (!source.archive) {
        if (!FormatText(candidate, sizeof candidate, "%s\\snap\\%s.png", base, key))
            return 0;
        return AcceptWhenOpens(path, candidate);
    }
    char archive[kPicturePathBytes];
    char member[kPicturePathBytes];
    if (!FormatText(archive, sizeof archive, "%s\\%s.zip", base, source.archive)
        || !FormatText(member, sizeof member, "%s.png", key)
        || !FormatText(candidate, sizeof candidate, "%s\\%s", archive, member)
        || !ZipHoldsMember(archive, member))
        return 0;
    return CopyText(path, kPicturePathBytes, candidate) ? 1 : 0;
}

// The fixed sources in order; *mode is written only when one is found, so
// a failed lookup leaves the last random attempt's mode.
int TryFixedSources(char *path, const char *base, const char *key, Emulator emulator, int *mode)
{
    for (const FixedSource &source : kFixedSources) {
        if (TryFixedSource(path, base, key, source)) {
            *mode = emulator == Emulator::Mame ? source.mameMode : source.messMode;
            return 1;
        }
    }
    return 0;
}

bool IsOtherName(const char *parent, const char *name)
{
    return parent && parent[0] && strcmp(parent, name) != 0;
}

// The places after the emulator's folder: the snapshot of the game (or of
// the software), then the fixed sources. A missing folder costs no draw.
int TryOtherPlaces(char *path, const char *emulatorFolder, const char *key, const char *software,
                   Emulator emulator, int *mode)
{
    std::vector<std::string> places = ArtworkPlaces(emulatorFolder);
    for (size_t i = 1; i < places.size(); ++i) {
        const char *place = places[i].c_str();
        if (emulator == Emulator::Mame ? TryRandomSnapshot(path, place, key)
                                       : TryMessSnapshot(path, place, key, software)) {
            *mode = kSnapshotMode;
            return 1;
        }
        if (TryFixedSources(path, place, key, emulator, mode))
            return 1;
    }
    return 0;
}

}  // namespace

std::vector<std::string> ArtworkPlaces(const char *emulatorFolder)
{
    std::vector<std::string> places = {emulatorFolder};
    for (const std::string &snap : MameIniFolders("snapshot_directory")) {
        size_t slash = snap.find_last_of('/');
        // The layout wants the folder that holds "snap".
        if (slash != std::string::npos && slash > 0 && snap.compare(slash + 1, 4, "snap") == 0 &&
            snap.size() == slash + 5)
            places.push_back(snap.substr(0, slash));
    }
    for (const std::string &folder : MameIniFolders("artpath"))
        places.push_back(folder);
    return places;
}

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
    return TryFixedSources(path, MamePath, game, Emulator::Mame, mode) ||
           TryOtherPlaces(path, MamePath, game, "", Emulator::Mame, mode);
}

int GetMESSPicture(char *path, const char *system, const char *software, int *mode)
{
    for (int attempt = 0; attempt < kPictureAttempts; attempt++) {
        int found;
        if (RandomDraw() % 5 != 0) {
            found = TryCategory(path, MessPath, system, Emulator::Mess, mode);
        } else {
            *mode = kSnapshotMode;
            found = TryMessSnapshot(path, MessPath, system, software);
        }
        if (found)
            return 1;
    }
    return TryFixedSources(path, MessPath, system, Emulator::Mess, mode) ||
           TryOtherPlaces(path, MessPath, system, software, Emulator::Mess, mode);
}

int GetMAMEPictureFor(char *path, const char *game, const char *parent, int *mode)
{
    if (GetMAMEPicture(path, game, mode))
        return 1;
    return IsOtherName(parent, game) ? GetMAMEPicture(path, parent, mode) : 0;
}

int GetMESSPictureFor(char *path, const char *system, const char *parent, const char *software,
                      int *mode)
{
    if (GetMESSPicture(path, system, software, mode))
        return 1;
    return IsOtherName(parent, system) ? GetMESSPicture(path, parent, software, mode) : 0;
}
