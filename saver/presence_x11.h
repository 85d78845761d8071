// The window sign of a running emulator under X11: a top-level window whose
// WM_CLASS class is "mame", in any letter case (MAME's SDL windows).
#pragma once
#include <X11/Xlib.h>

bool EmulatorWindowExists(Display *display);

// Sends WM_DELETE_WINDOW to every such window, as a window manager's close
// button does; waits for none. MAME closes that way and ignores SIGTERM.
void AskEmulatorWindowsToClose(Display *display);
