// Finding an artwork picture for the chosen game or system in the
// emulator's own artwork folders, and in the artwork packs people download.
//
// A lookup first makes up to 20 random attempts over the emulator's own
// layout (described below). When all of them fail, it tries these fixed
// sources under the same base folder, in this order, taking the first that
// holds the key's picture (KEY: the game's name, or for MESS the system's):
//   1. snap\KEY.png             flat snapshot, as the packs lay them out   mode 0
//   2. snap.zip\KEY.png         zipped snapshots                           mode 0
//   3. titles.zip\KEY.png       mode 0 for MAME, 1 for MESS (as the titles folder)
//   4. flyers.zip\KEY.png       mode 1
//   5. cabinets.zip\KEY.png     mode 1
//   6. cpanel.zip\KEY.png       mode 1
//   7. marquees.zip\KEY.png     mode 1
//   8. pcb.zip\KEY.png          mode 1
// Snapshots come first because they show the machine itself; the archives
// follow in the order the packs are usually listed. A zip member is handed
// back as ARCHIVE\MEMBER (C:\mame\snap.zip\pacman.png), which the PNG decoder
// opens; the member only has to be listed in the archive's directory to count.
// The fixed sources take no random draws.
//
// Nothing here keeps state between calls: lookups may run on a worker
// thread while the window thread paints (the draws come from base/random).
#pragma once
#include <string>
#include <vector>

constexpr int kPicturePathBytes = 1024;
constexpr int kPictureAttempts = 20;

// Display modes handed to the painting.
constexpr int kSnapshotMode = 0;   // stretched over the whole window
constexpr int kArtworkMode = 1;    // tiled at its size, or fitted

// Tries up to 20 random attempts to find a picture of game under MamePath:
// a category picture (cabinets, cpanel, flyers, marquees, titles, pcb\GAME.png)
// or a random entry of snap\GAME; when they all fail, the fixed sources
// above. Returns 1 with the picture's full path in path (1024 bytes) and its
// display mode in *mode; 0 when nothing was found (path untouched, *mode
// holds the last random attempt's mode).
int GetMAMEPicture(char *path, const char *game, int *mode);

// The same under MessPath for a MESS run: category pictures are filed under
// the system's name; the snapshot is snap\SYSTEM\SOFTWARE.png (software less
// an extension of at most three characters), or a random entry of
// snap\SYSTEM when the software name has no such extension. Then the fixed
// sources above, keyed by the system's name.
int GetMESSPicture(char *path, const char *system, const char *software, int *mode);

// Where pictures are looked for, in order: the emulator's folder, then, for
// Debian's MAME, the places its mame.ini names: the folder holding its
// snapshot folder (~/.mame for ~/.mame/snap) and each artwork folder
// (artpath). Only the emulator's own folder gets the random attempts; the
// others are asked for snap\KEY\*.png and the fixed sources.
std::vector<std::string> ArtworkPlaces(const char *emulatorFolder);

// The same lookups for a clone, whose pictures the packs file under its
// parent (the machine report's cloneof): the machine's own pictures first
// (everything above), then, only when none was found, the parent's. parent
// may be null or empty (no parent), and a parent equal to the machine's own
// name is not looked up twice.
int GetMAMEPictureFor(char *path, const char *game, const char *parent, int *mode);
int GetMESSPictureFor(char *path, const char *system, const char *parent, const char *software,
                      int *mode);
