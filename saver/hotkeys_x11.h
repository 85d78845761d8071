// The session's hot keys under X11: Escape, Pause and Backspace, grabbed on
// the root window so that they reach the session whichever window has the
// keyboard, the emulator's included.
#pragma once
#include <X11/Xlib.h>

constexpr int kX11HotKeyCount = 3;
// Escape, Pause, BackSpace: bit i of the masks below stands for key i.
extern const KeySym kX11HotKeys[kX11HotKeyCount];
extern const char *const kX11HotKeyNames[kX11HotKeyCount];

// Grabs each hot key on root once with every modifier combination that does
// not change it: none, Caps Lock (Lock), Num Lock (Mod2) and both. A grab
// of any modifier at once would fail whole when another program holds the
// key with one modifier (a window manager's Alt+Escape). Returns the mask of
// the keys that another program holds in one of these combinations (or that
// the keyboard lacks): those reach the session only while its window has
// the keyboard. The grabs that succeeded are kept.
unsigned GrabHotKeysX11(Display *display, Window root);
void UngrabHotKeysX11(Display *display, Window root);

// Which hot keys a session could not grab on display now (the mask above):
// grabs them on the default root window and lets them go at once.
unsigned HotKeysHeldElsewhere(Display *display);
