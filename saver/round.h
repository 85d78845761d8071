// One round of the session: what to show and what to launch, prepared off
// the window thread and handed over whole.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "artwork/lookup.h"
#include "artwork/png.h"
#include "emulator/choose.h"

// Decoded artwork, ready to be put on the screen as it is.
struct RoundPicture {
    int width = 0, height = 0;
    int mode = kArtworkMode;            // how the splash lays it out
    size_t stride = 0;                  // bytes a row, a multiple of 4
    std::vector<unsigned char> pixels;  // height rows of stride bytes, top row first
};

struct Round {
    bool chosen = false;                // false: nothing could be chosen this time
    int mameOrMess = 0;                 // 1 arcade game under MAME, 0 MESS run
    char machine[kMachineBytes] = "";
    char software[kSoftwareBytes] = "";
    char command[kCommandBytes] = "";
    char folder[1024] = "";             // the emulator's folder: its current folder
    char exe[1024] = "";                // the emulator executable's file name
    char title[1024] = "";
    char subtitle[1024] = "";
    std::string key;                    // the machine and software, as RoundKey names them
    std::string romEntry;               // where the machine's files are (ChosenRomEntry)
    long brokenSets = 0;                // sets the worker has found broken so far
    char deadEnd[256] = "";             // not chosen: why nothing can be, when that is known
    RoundPicture picture;               // empty when no picture was found or could be read
};

// A launch ended for missing files: its set (MESS: its system) is broken.
struct BrokenSet {
    int mameOrMess = 0;
    std::string romEntry;
};

struct RoundRequest {
    PngPixels pixels = PngPixels::Bgr;  // the layout the shell paints from
    std::vector<std::string> recent;    // keys of the latest rounds, newest first
    std::vector<std::string> refused;   // keys not to be chosen again this session
    std::vector<BrokenSet> broken;      // to be remembered as broken before choosing
};

// The name a round is known by: kind, machine and software.
std::string RoundKey(int mameOrMess, const char *machine, const char *software);

// Was key (RoundKey) chosen too lately to come again? recent holds the keys
// of the latest rounds, newest first. A round looks back over the rounds of
// its own kind only (arcade or MESS), the latest kRepeatWindow of them; an
// arcade game over fewer when the ROM folder holds fewer than 21 entries
// (romEntries), so that a small folder shows every game once before any
// comes back.
bool InRepeatWindow(const std::vector<std::string> &recent, const std::string &key, int romEntries);

// The choice (the oldest choice made ahead that still holds, else at most
// kChoicesPerRound calls of ChooseSoftware and kChoiceTimeMs, fewer when
// the runner is cancelled), then the artwork, its decoding and the title
// card's texts. A choice in request.refused is never taken; one in the
// repeat window of request.recent is drawn again, at most kRepeatRedraws
// times and for half of kChoiceTimeMs, then taken. Runs on the round
// worker's thread.
Round PrepareRound(const RoundRequest &request);

// Between rounds, while the folder is known to hold broken sets: one more
// choice made ahead, so the next search finds what it learnt (facts,
// -verifyroms verdicts) remembered. A choice that starts is kept, up to
// kReadyChoices, and the next rounds take those before drawing again; with
// that many kept it asks nothing. True when it asked the emulator.
bool JudgeAhead();

// The choices made ahead that wait for a round, on the calling thread.
size_t ReadyChoicesHeld();

constexpr int kChoicesPerRound = 200;
constexpr int kChoiceTimeMs = 10000;
constexpr int kRepeatRedraws = 200;
constexpr int kRepeatWindow = 20;
constexpr size_t kReadyChoices = 2;
