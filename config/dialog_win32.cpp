#include <windows.h>

#include <cderr.h>
#include <commdlg.h>
#include <shlobj.h>

#include <cstring>

#include "base/format.h"
#include "config/choices_dialog.h"
#include "config/controls.h"
#include "config/dialog.h"
#include "resources/resource.h"
#include "saver/host.h"

// The full structure, with its reserved pointer, reserved value and extended
// flags: 88 bytes on 32-bit Windows.
static_assert(sizeof(void *) != 4 || sizeof(OPENFILENAMEA) == 88,
              "the open-file structure must be the full 88-byte form");

// The open-file dialog starts in the folder of the path in the box, with its
// file name chosen; "All files" stands beside the emulator filter for an
// executable named otherwise.
static bool ChooseExecutable(void *dialog, bool forMame, char *path, int size)
{
    static const char kMessFilter[] = "Mess Executable\0*mess*.exe\0All files\0*.*\0";
    static const char kMameFilter[] = "Mame Executable\0*mame*.exe\0All files\0*.*\0";

    // Work on copies so a cancelled or failed dialog leaves path as it was.
    char folder[1024], chosen[1024];
    if (size > static_cast<int>(sizeof chosen))
        size = sizeof chosen;
    CopyText(folder, sizeof folder, path);
    char *name = strrchr(folder, '\\');
    CopyText(chosen, sizeof chosen, name ? name + 1 : folder);
    if (name)
        *name = '\0';
    else
        folder[0] = '\0';

    OPENFILENAMEA request;
    memset(&request, 0, sizeof request);
    request.lStructSize = sizeof request;
    request.hwndOwner = static_cast<HWND>(dialog);
    request.lpstrFilter = forMame ? kMameFilter : kMessFilter;
    request.nFilterIndex = 1;
    request.lpstrFile = chosen;
    request.nMaxFile = static_cast<DWORD>(size);
    request.lpstrInitialDir = folder[0] ? folder : nullptr;
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
