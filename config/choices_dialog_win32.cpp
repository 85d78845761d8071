#include <windows.h>

#include <commdlg.h>

#include <cstring>

#include "config/choices_dialog.h"
#include "config/controls.h"

namespace {

constexpr int kChoicesDialogTemplate = 2004;

bool ChooseFile(void *dialog, bool forCategories, char *path, int size)
{
    static const char kListFilter[] = "Game lists (*.ini, *.txt)\0*.ini;*.txt\0All files\0*.*\0";
    static const char kCategoryFilter[] = "Category files (*.ini)\0*.ini\0All files\0*.*\0";
    // A copy, so that a cancelled dialog leaves path as it was.
    char chosen[1024];
    if (size > static_cast<int>(sizeof chosen))
        size = sizeof chosen;
    strncpy(chosen, path, sizeof chosen - 1);
    chosen[sizeof chosen - 1] = '\0';
    OPENFILENAMEA request;
    memset(&request, 0, sizeof request);
    request.lStructSize = sizeof request;
    request.hwndOwner = static_cast<HWND>(dialog);
    request.lpstrFilter = forCategories ? kCategoryFilter : kListFilter;
    request.nFilterIndex = 1;
    request.lpstrFile = chosen;
    request.nMaxFile = static_cast<DWORD>(size);
    request.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    if (!GetOpenFileNameA(&request)) {
        // A name the dialog cannot take as its start: open it without one.
        chosen[0] = '\0';
        if (!GetOpenFileNameA(&request))
            return false;
    }
    memcpy(path, chosen, static_cast<size_t>(size));
    path[size - 1] = '\0';
    return true;
}

const ChoicesPrompts kPrompts = {ChooseFile};

INT_PTR CALLBACK ChoicesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        OpenChoices(dialog, Win32DialogControls());
        return TRUE;
    case WM_COMMAND:
        ChoicesCommand(dialog, Win32DialogControls(), &kPrompts, LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

}   // namespace

void ShowChoicesDialog(void *owner)
{
    HWND window = static_cast<HWND>(owner);
    DialogBoxParamA(reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE)),
                    MAKEINTRESOURCEA(kChoicesDialogTemplate), window, ChoicesDialogProc, 0);
}
