#include "saver/round.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <deque>
#include <dirent.h>
#include <string>
#include <new>

#include "base/files.h"
#include "base/format.h"
#include "config/settings.h"
#include "emulator/facts.h"
#include "emulator/report.h"
#include "emulator/runner.h"
#include "emulator/sets.h"
#include "saver/titlecard.h"

namespace {

const char kArcadeKind[] = "MAME";
const char kMessKind[] = "MESS";

bool Contains(const std::vector<std::string> &keys, const std::string &key)
{
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

// A choice the worker made ahead that starts. It was drawn as a round draws,
// so a round that takes it shows what a search would have found, only sooner.
struct ReadyChoice {
    int mameOrMess = 0;
    char machine[kMachineBytes] = "";
    char software[kSoftwareBytes] = "";
    char command[kCommandBytes] = "";
    std::string romEntry;
};

// The worker's own: a worker left behind by a session that ended keeps its
// choices to itself.
thread_local std::deque<ReadyChoice> readyChoices;

// Entries of the ROM folder other than "." and "..".
int CountRomEntries()
{
    DIR *dir = OpenFolder(MameRomsPath);
    if (!dir)
        return 0;
    int count = 0;
    while (dirent *item = readdir(dir))
        if (strcmp(item->d_name, ".") != 0 && strcmp(item->d_name, "..") != 0)
            ++count;
    closedir(dir);
    return count;
}

// InRepeatWindow, with romEntries counted on first need (-1: not yet).
bool TooRecent(const std::vector<std::string> &recent, const std::string &key, int mameOrMess,
               int *romEntries)
{
    if (!Contains(recent, key))
        return false;
    if (mameOrMess == 1 && *romEntries < 0)
        *romEntries = CountRomEntries();
    return InRepeatWindow(recent, key, *romEntries);
}

// The decoder's rows, laid out as the shell paints them.
struct PictureRows {
    RoundPicture *picture;
    int bytesPerPixel;
    std::vector<unsigned char *> rows;
};

unsigned char **MakePictureRows(void *context, int width, int height)
{
    PictureRows *made = static_cast<PictureRows *>(context);
    RoundPicture &picture = *made->picture;
    picture.width = width;
    picture.height = height;
    picture.stride = (static_cast<size_t>(width) * made->bytesPerPixel + 3) & ~static_cast<size_t>(3);
    try {
        picture.pixels.assign(picture.stride * static_cast<size_t>(height), 0);
        made->rows.resize(static_cast<size_t>(height));
    } catch (const std::bad_alloc &) {
        // Too large for the memory left: the decoder gives up, and the round
        // goes on without its picture.
        return nullptr;
    }
    for (int y = 0; y < height; ++y)
        made->rows[y] = picture.pixels.data() + picture.stride * static_cast<size_t>(y);
    return made->rows.data();
}

void DecodePicture(const char *path, int mode, PngPixels pixels, RoundPicture *picture)
{
    PictureRows made{picture, 3, {}};
    if (!DecodePNGInto(path, {pixels, MakePictureRows, &made}))
        *picture = RoundPicture();
    else
        picture->mode = mode;
}

void Describe(Round &round)
{
    const char *folder = round.mameOrMess == 1 ? MamePath : MessPath;
    const char *exe = round.mameOrMess == 1 ? MameExe : MessExe;
    const char *name = round.mameOrMess == 1 ? round.software : round.machine;
    char description[1024] = "", year[1024] = "";
    int found = GetDriverInformation(folder, exe, name, description, year);
    TitleCard card = ChooseTitleCard(round.mameOrMess, found != 0, description, round.machine,
                                     round.software);
    CopyText(round.title, sizeof round.title, card.title);
    CopyText(round.subtitle, sizeof round.subtitle, card.subtitle);
}

}   // namespace

bool InRepeatWindow(const std::vector<std::string> &recent, const std::string &key, int romEntries)
{
    const std::string kind = key.substr(0, key.find('\t') + 1);
    int window = kRepeatWindow;
    if (kind == std::string(kArcadeKind) + '\t')
        window = std::min(window, romEntries - 1);
    for (const std::string &earlier : recent) {
        if (window <= 0)
            break;
        if (earlier.compare(0, kind.size(), kind) != 0)
            continue;
        if (earlier == key)
            return true;
        --window;
    }
    return false;
}

std::string RoundKey(int mameOrMess, const char *machine, const char *software)
{
    if (mameOrMess == 1)
        return std::string(kArcadeKind) + '\t' + software;
    return std::string(kMessKind) + '\t' + machine + '\t' + software;
}

namespace {

// Screens each choice before any query is made about it.
struct Screen {
    const RoundRequest *request;
    std::chrono::steady_clock::time_point start;
    int redraws = 0;
    int failedCalls = 0;
    int romEntries = -1;
    bool redrawn = false;   // the last refusal was a repeat, not a failure
};

const char *FolderOf(int mameOrMess)
{
    return mameOrMess == 1 ? MamePath : MessPath;
}

const char *ExeOf(int mameOrMess)
{
    return mameOrMess == 1 ? MameExe : MessExe;
}

// Choices that failed twice this session are remembered with the machine
// facts for a day, so the next sessions pass them over too.
void RememberRefused(const std::vector<std::string> &refused, time_t now)
{
    for (const std::string &key : refused) {
        const std::string arcade = std::string(kArcadeKind) + '\t';
        int mameOrMess = key.compare(0, arcade.size(), arcade) == 0 ? 1 : 0;
        if (!ChoiceFailedRecently(FolderOf(mameOrMess), ExeOf(mameOrMess), key.c_str(), now))
            RememberFailedChoice(FolderOf(mameOrMess), ExeOf(mameOrMess), key.c_str(), now);
    }
}

bool ScreenChoice(void *context, int mameOrMess, const char *machine, const char *software)
{
    Screen &screen = *static_cast<Screen *>(context);
    std::string key = RoundKey(mameOrMess, machine, software);
    if (Contains(screen.request->refused, key) ||
        ChoiceFailedRecently(FolderOf(mameOrMess), ExeOf(mameOrMess), key.c_str(), time(nullptr)))
        return false;
    // Repeats are drawn again for a while; after that one is better than
    // nothing (the other choices may all be refused, slowly, by queries, or
    // be BIOS sets and devices: half the calls are kept for a repeat).
    bool picky = screen.redraws < kRepeatRedraws && screen.failedCalls < kChoicesPerRound / 2 &&
                 std::chrono::steady_clock::now() - screen.start <
                     std::chrono::milliseconds(kChoiceTimeMs / 2);
    if (picky && TooRecent(screen.request->recent, key, mameOrMess, &screen.romEntries)) {
        ++screen.redraws;
        screen.redrawn = true;
        return false;
    }
    return true;
}

// The entries of folder but "." and ".."; -1 when it cannot be opened.
long EntriesIn(const char *folder)
{
    DIR *listing = OpenFolder(folder);
    if (!listing)
        return -1;
    long count = 0;
    while (dirent *entry = readdir(listing))
        count += strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0;
    closedir(listing);
    return count;
}

// Why a side that is set up can show nothing (its folder missing, empty, or
// every set in it broken); empty when it may still show something.
std::string SideDeadEnd(const char *folderName, const char *folder, long broken)
{
    char why[256] = "";
    long entries = folder[0] ? EntriesIn(folder) : 0;
    if (!folder[0])
        FormatText(why, sizeof why, "No %s is set", folderName);
    else if (entries < 0)
        FormatText(why, sizeof why, "The %s %.120s cannot be opened", folderName, folder);
    else if (entries == 0)
        FormatText(why, sizeof why, "The %s %.120s is empty", folderName, folder);
    else if (broken >= entries)
        FormatText(why, sizeof why, "Every set in %.120s was found broken", folder);
    return why;
}

// Why nothing can be chosen at all, when every side that is set up is at a
// dead end; empty when a choice may still succeed.
std::string DeadEnd(long broken)
{
    std::string mame = MamePath[0] ? SideDeadEnd("ROM folder", MameRomsPath, broken) : "";
    std::string mess = MessPath[0] ? SideDeadEnd("software folder", MessSoftwarePath, -1) : "";
    if ((MamePath[0] && mame.empty()) || (MessPath[0] && mess.empty()))
        return "";
    return mame + (mame.empty() || mess.empty() ? "" : "; ") + mess;
}

// The oldest choice made ahead that this round may still take: passed over
// when the round's rules refuse it now (a repeat, refused this session) or
// its set is no longer known to start (found broken since, changed, gone).
bool TakeReadyChoice(Screen *screen, ReadyChoice *taken)
{
    while (!readyChoices.empty()) {
        ReadyChoice ready = readyChoices.front();
        readyChoices.pop_front();
        int verdict = ready.romEntry.empty()
                          ? -1
                          : RememberedRomVerdict(FolderOf(ready.mameOrMess), ExeOf(ready.mameOrMess),
                                                 ready.romEntry.c_str());
        bool starts = ready.mameOrMess == 1 ? verdict == 1 : verdict != 0;
        if (starts && ScreenChoice(screen, ready.mameOrMess, ready.machine, ready.software)) {
            *taken = ready;
            return true;
        }
    }
    return false;
}

}   // namespace

Round PrepareRound(const RoundRequest &request)
{
    Round round;
    RememberRefused(request.refused, time(nullptr));
    for (const BrokenSet &broken : request.broken)
        if (!broken.romEntry.empty())
            MarkRomSetBroken(FolderOf(broken.mameOrMess), ExeOf(broken.mameOrMess),
                             broken.romEntry.c_str());
    auto start = std::chrono::steady_clock::now();
    Screen screen{&request, start};
    ReadyChoice ready;
    bool fromAhead = TakeReadyChoice(&screen, &ready);
    if (fromAhead) {
        CopyText(round.machine, sizeof round.machine, ready.machine);
        CopyText(round.software, sizeof round.software, ready.software);
        CopyText(round.command, sizeof round.command, ready.command);
        round.chosen = true;
    }
    SetChoiceFilter(ScreenChoice, &screen);
    // Repeats drawn again do not count as calls: they cost no query.
    for (int call = 0; !round.chosen && call < kChoicesPerRound;) {
        if (RunnerCancelled() ||
            std::chrono::steady_clock::now() - start > std::chrono::milliseconds(kChoiceTimeMs))
            break;
        screen.redrawn = false;
        if (ChooseSoftware(round.machine, round.software, round.command) != 0) {
            call += screen.redrawn ? 0 : 1;
            screen.failedCalls = call;
            continue;
        }
        round.chosen = true;
        break;
    }
    SetChoiceFilter(nullptr, nullptr);
    round.brokenSets = BrokenSetsFound();
    if (!round.chosen) {
        CopyText(round.deadEnd, sizeof round.deadEnd, DeadEnd(round.brokenSets).c_str());
        return round;
    }
    round.romEntry = fromAhead ? ready.romEntry : ChosenRomEntry();
    round.mameOrMess = fromAhead ? ready.mameOrMess : MameOrMess;
    round.key = RoundKey(round.mameOrMess, round.machine, round.software);
    // An arcade choice leaves the machine as it was: it has none.
    if (round.mameOrMess == 1)
        round.machine[0] = '\0';
    CopyText(round.folder, sizeof round.folder, FolderOf(round.mameOrMess));
    CopyText(round.exe, sizeof round.exe, ExeOf(round.mameOrMess));

    // A clone without pictures of its own shows its parent's.
    const char *machine = round.mameOrMess == 1 ? round.software : round.machine;
    MachineFacts facts;
    bool fromCache = false;
    const char *parent = GetMachineFacts(round.folder, round.exe, machine, &facts, &fromCache)
                             ? facts.cloneOf.c_str()
                             : "";
    char path[kPicturePathBytes];
    int mode = kArtworkMode;
    int found = round.mameOrMess == 1
                    ? GetMAMEPictureFor(path, round.software, parent, &mode)
                    : GetMESSPictureFor(path, round.machine, parent, round.software, &mode);
    if (found)
        DecodePicture(path, mode, request.pixels, &round.picture);
    Describe(round);
    return round;
}

bool JudgeAhead()
{
    // Enough rounds are ready: the worker rests, leaving the machine to the game.
    if (readyChoices.size() >= kReadyChoices)
        return false;
    long asked = MachineQueriesRun() + RomVerificationsRun();
    ReadyChoice ready;
    SetChoiceFilter(nullptr, nullptr);
    if (ChooseSoftware(ready.machine, ready.software, ready.command) == 0) {
        ready.mameOrMess = MameOrMess;
        ready.romEntry = ChosenRomEntry();
        auto same = [&](const ReadyChoice &held) {
            return RoundKey(held.mameOrMess, held.machine, held.software) ==
                   RoundKey(ready.mameOrMess, ready.machine, ready.software);
        };
        if (std::none_of(readyChoices.begin(), readyChoices.end(), same))
            readyChoices.push_back(ready);
    }
    return MachineQueriesRun() + RomVerificationsRun() != asked;
}

size_t ReadyChoicesHeld()
{
    return readyChoices.size();
}
