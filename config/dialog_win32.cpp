#include <windows.h>

#include <shlobj.h>

#include <cstring>

#include "base/format.h"
#include "config/choices_dialog.h"
#include "config/controls.h"
#include "config/dialog.h"
#include "resources/resource.h"
#include "saver/host.h"

// The open-file dialog; "All files" stands beside the emulator filter for an
// executable named otherwise.
static bool ChooseExecutable(void *dialog, bool forMame, char *path, int size)
{
    static const char kMessFilter[] = "Mess Executable\0*mess*.exe\0All files\0*.*\0";
    static const char kMameFilter[] = "Mame Executable\0*mame*.exe\0All files\0*.*\0";
    return PickFileToOpen(dialog, forMame ? kMameFilter : kMessFilter, path, size);
}

static int CALLBACK StartFolderPicker(HWND picker, UINT message, LPARAM, LPARAM start)
{
    if (message == BFFM_INITIALIZED && *reinterpret_cast<const char *>(start))
        SendMessageA(picker, BFFM_SETSELECTIONA, TRUE, start);
    return 0;
}

static bool ChooseFolder(void *dialog, const char *title, char *path, int size)
{
    char display[MAX_PATH];
    BROWSEINFOA request = {};
    request.hwndOwner = static_cast<HWND>(dialog);
    request.pszDisplayName = display;
    request.lpszTitle = title;
    request.ulFlags = BIF_RETURNONLYFSDIRS;
    request.lpfn = StartFolderPicker;
    request.lParam = reinterpret_cast<LPARAM>(path);
    PIDLIST_ABSOLUTE picked = SHBrowseForFolderA(&request);
    if (!picked)
        return false;
    char folder[MAX_PATH];
    bool fits = SHGetPathFromIDListA(picked, folder) && static_cast<int>(strlen(folder)) < size;
    ILFree(picked);
    if (fits)
        CopyText(path, static_cast<size_t>(size), folder);
    return fits;
}

static void ShowAbout(void *dialog)
{
    MessageBoxA(static_cast<HWND>(dialog),
                "Quillmere " QUILLMERE_VERSION_TEXT "\n"
                "Written by the Quillmere developers\n"
                "Questions and bug reports: the Quillmere project's issue tracker",
                "About Quillmere", MB_ICONINFORMATION | MB_OK);
}

static const DialogPrompts kPrompts = {ChooseExecutable, ShowAbout, ChooseFolder};

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
