// The window sign of a running emulator under X11: a top-level window whose
// WM_CLASS class is "mame", in any letter case (MAME's SDL windows), whoever
// started it. Only the windows of what this session launched are ever asked
// to close.
#pragma once
#include <X11/Xlib.h>

bool EmulatorWindowExists(Display *display);

// Sends WM_DELETE_WINDOW, as a window manager's close button does, to every
// top-level window whose _NET_WM_PID is a process of a launch that still runs
// (IsLaunchedProcess); waits for none. MAME closes that way and ignores
// SIGTERM. A user's own emulator is never asked.
void AskLaunchedWindowsToClose(Display *display);
