// A full-screen session on an X display: the X11 shell of the run cycle. It
// turns key presses, clicks, timers and the worker's news into calls on the
// cycle and carries out what the cycle asks (paint, arm a timer, launch,
// close), never waiting on an emulator or a disk.
#pragma once
#include <X11/Xlib.h>

enum class X11SessionEnd {
    Ended,        // a key, a click, a hot key or a stop request ended it
    NoSettings,   // the settings file could not be read (said on stderr)
    NoEmulator,   // neither emulator's executable can be opened (said on stderr)
    NoDisplay,    // no window or font could be made (said on stderr)
};

// Runs one session on display, covering its default screen, until Escape,
// Backspace, another key or a click on the splash, or until stopFd becomes
// readable (the process was told to stop: it ends as on a key press).
X11SessionEnd RunX11Session(Display *display, int stopFd);
