#include "saver/host.h"

LRESULT WINAPI ScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefScreenSaverProc(window, message, wParam, lParam);
}

BOOL WINAPI RegisterDialogClasses(HANDLE)
{
    return TRUE;
}
