// The screen-saver host: the process entry and the window that Windows
// expects of a screen saver. The program supplies ScreenSaverProc,
// ScreenSaverConfigureDialog and RegisterDialogClasses; the host calls them.
#pragma once
#include <windows.h>

extern HINSTANCE hMainInstance;
extern HWND hMainWindow;
extern BOOL fChildPreview;

// Supplied by the program.
LRESULT WINAPI ScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL WINAPI ScreenSaverConfigureDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
BOOL WINAPI RegisterDialogClasses(HANDLE instance);

// What ScreenSaverProc passes on: outside preview a key press or a mouse
// button posts WM_CLOSE and the cursor stays hidden; in preview only the
// system's default handling.
LRESULT WINAPI DefScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the host for the given command line (without the program name) and
// returns the process exit code.
int RunScreenSaverHost(HINSTANCE instance, const char *commandLine);

constexpr int kConfigureDialogTemplate = 2003;
