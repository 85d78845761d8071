#include <windows.h>

#include "config/choices_dialog.h"
#include "config/controls.h"

namespace {

constexpr int kChoicesDialogTemplate = 2004;

bool ChooseFile(void *dialog, bool forCategories, char *path, int size)
{
    static const char kListFilter[] = "Game lists (*.ini, *.txt)\0*.ini;*.txt\0All files\0*.*\0";
    static const char kCategoryFilter[] = "Category files (*.ini)\0*.ini\0All files\0*.*\0";
    return PickFileToOpen(dialog, forCategories ? kCategoryFilter : kListFilter, path, size);
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
