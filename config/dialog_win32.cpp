#include <windows.h>

#include <cderr.h>
#include <commdlg.h>

#include <cstring>

#include "config/choices_dialog.h"
#include "config/controls.h"
#include "config/dialog.h"
#include "saver/host.h"

// The full structure, with its reserved pointer, reserved value and extended
// flags: 88 bytes on 32-bit Windows.
static_assert(sizeof(void *) != 4 || sizeof(OPENFILENAMEA) == 88,
              "the open-file structure must be the full 88-byte form");

static bool ChooseExecutable(void *dialog, bool forMame, char *path, int size)
{
    static const char kMessFilter[] = "Mess Executable\0*mess*.exe\0";
    static const char kMameFilter[] = "Mame Executable\0*mame*.exe\0";

    // Work on a copy so a cancelled or failed dialog leaves path as it was.
    char chosen[1024];
    if (size > static_cast<int>(sizeof chosen))
        size = sizeof chosen;
    strncpy(chosen, path, sizeof chosen - 1);
    chosen[sizeof chosen - 1] = '\0';

    OPENFILENAMEA request;
    memset(&request, 0, sizeof request);
    request.lStructSize = sizeof request;
    request.hwndOwner = static_cast<HWND>(dialog);
    request.lpstrFilter = forMame ? kMameFilter : kMessFilter;
    request.nFilterIndex = 1;
    request.lpstrFile = chosen;
    request.nMaxFile = static_cast<DWORD>(size);
    request.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    BOOL ok = GetOpenFileNameA(&request);
    // An initial name the dialog cannot take (a malformed path typed in the
    // box) makes it fail without showing anything: show it with no name.
    if (!ok && CommDlgExtendedError() == FNERR_INVALIDFILENAME) {
        chosen[0] = '\0';
        ok = GetOpenFileNameA(&request);
    }
    if (!ok)
        return false;
    memcpy(path, chosen, static_cast<size_t>(size));
    path[size - 1] = '\0';
    return true;
}

static void ShowAbout(void *dialog)
{
    MessageBoxA(static_cast<HWND>(dialog),
                "Quillmere\n"
                "Written by the Quillmere developers\n"
                "Questions and bug reports: the Quillmere project's issue tracker",
                "About Quillmere", MB_ICONINFORMATION | MB_OK);
}

static const DialogPrompts kPrompts = {ChooseExecutable, ShowAbout};

BOOL WINAPI ScreenSaverConfigureDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        OpenConfiguration(dialog, Win32DialogControls());
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_CHOICES)
            ShowChoicesDialog(dialog);
        else
            ConfigurationCommand(dialog, Win32DialogControls(), &kPrompts, LOWORD(wParam));
        return FALSE;
    default:
        return FALSE;
    }
}
