// Where the splash picture goes in the window: the arithmetic of the three
// layouts, kept apart from the painting so it can be checked to the pixel.
#pragma once
#include <vector>

enum class PictureLayoutKind {
    Nothing,   // a picture or window without area: nothing to copy
    Stretch,   // whole picture stretched to dest
    Tiles,     // picture copied at its own size on a grid
    Fitted,    // whole picture scaled into dest, proportions kept
};

// One copy of the whole picture into a destination rectangle (x, y, width,
// height in window pixels). A destination of the picture's own size is a
// same-size copy.
struct PictureCopy {
    int x, y, width, height;
};

struct PictureLayout {
    PictureLayoutKind kind;
    PictureCopy dest;              // Stretch and Fitted
    int originX, originY;          // Tiles: top-left of tile (0, 0)
    int columns, rows;             // Tiles: copies across and down
    int tileWidth, tileHeight;     // Tiles: the picture's size
};

// The layout of a picture of pictureWidth x pictureHeight in a client area
// of clientWidth x clientHeight. Mode 0 (snapshot) stretches it over the
// whole client area. Mode 1 (artwork) tiles it at its own size with one tile
// centred when it fits, otherwise scales it down to fill the width or the
// height and centres it. Copies may lie partly or wholly outside the client
// area; the platform clips them.
PictureLayout ComputePictureLayout(int clientWidth, int clientHeight,
                                   int pictureWidth, int pictureHeight, int mode);

// The copy for tile (column, row) of a Tiles layout.
PictureCopy TileCopy(const PictureLayout &layout, int column, int row);

// Every copy of the layout, tiles column by column (tests and tools; the
// display walks the tiles itself).
std::vector<PictureCopy> ListPictureCopies(const PictureLayout &layout);

// True when the copy covers at least one pixel of the client area.
bool CopyTouchesClient(const PictureCopy &copy, int clientWidth, int clientHeight);
