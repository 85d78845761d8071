// Finding an artwork picture for the chosen game or system in the
// emulator's own artwork folders.
#pragma once

constexpr int kPicturePathBytes = 1024;
constexpr int kPictureAttempts = 20;

// Display modes handed to the painting.
constexpr int kSnapshotMode = 0;   // stretched over the whole window
constexpr int kArtworkMode = 1;    // tiled at its size, or fitted

// Tries up to 20 random attempts to find a picture of game under MamePath:
// a category picture (cabinets, cpanel, flyers, marquees, titles, pcb\GAME.png)
// or a random entry of snap\GAME. Returns 1 with the file's full path in
// path (1024 bytes) and its display mode in *mode; 0 when every attempt
// failed (path untouched, *mode holds the last attempt's mode).
int GetMAMEPicture(char *path, const char *game, int *mode);

// The same under MessPath for a MESS run: category pictures are filed under
// the system's name; the snapshot is snap\SYSTEM\SOFTWARE.png (software less
// an extension of at most three characters), or a random entry of
// snap\SYSTEM when the software name has no such extension.
int GetMESSPicture(char *path, const char *system, const char *software, int *mode);
