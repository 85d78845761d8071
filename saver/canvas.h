// The splash as pixels in memory, for shells that paint from memory (X11):
// the dark background and the round's picture laid out as the Win32 splash
// lays it out (stretched, tiled or fitted, copies clipped to the area).
#pragma once
#include <cstdint>

#include "saver/round.h"

// Fills width x height pixels (row by row, 0x00RRGGBB each) with
// background, then copies picture (rows in the layout given) over them.
// Scaled copies take the nearest source pixel.
void ComposeSplashPixels(uint32_t *pixels, int width, int height, uint32_t background,
                         const RoundPicture &picture, PngPixels layout);
