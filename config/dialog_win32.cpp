#include "saver/host.h"

BOOL WINAPI ScreenSaverConfigureDialog(HWND dialog, UINT message, WPARAM, LPARAM)
{
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_CLOSE)
        EndDialog(dialog, 1);
    return FALSE;
}
