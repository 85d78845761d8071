// The splash screen under X11: "Searching..." while a round is prepared,
// then the round's picture under its title card, in the colours, type sizes
// and places of the Win32 splash. Each painting is made in a pixmap and
// copied to the window whole, so nothing half-painted is ever seen.
#pragma once
#include <X11/Xlib.h>
#include <X11/Xft/Xft.h>

#include "saver/round.h"

struct X11Splash {
    Display *display = nullptr;
    Window window = 0;
    int screen = 0;
    int width = 0, height = 0;     // the window's, the whole screen
    XftFont *font = nullptr;       // the splash type: 56 points, bold
    XftFont *noteFont = nullptr;   // the note under "Searching...": 3/8 of it
};

// The window's background colour, as the splash paints it: RGB(20,20,20).
constexpr unsigned long kSplashBackground = 0x141414;

// That colour as a pixel value of the screen's default visual.
unsigned long SplashBackgroundPixel(Display *display, int screen);

// Opens the fonts for window (a bold sans face, DejaVu Sans Bold where
// fontconfig has it). False when no font can be opened.
bool OpenSplash(X11Splash &splash, Display *display, int screen, Window window, int width,
                int height);
void CloseSplash(X11Splash &splash);

// The dark fill and "Searching..." in green, centred; note, when not empty,
// in a smaller type under it.
void PaintSearchingX11(X11Splash &splash, const char *note);

// The dark fill, the round's picture as its mode lays it out, the title in
// the upper half and the subtitle from the top of the lower half, each
// white over a black copy one pixel down and right.
void PaintRoundX11(X11Splash &splash, const Round &round);

// Black over the whole window: the rounds are over for the night.
void PaintDarkX11(X11Splash &splash);
