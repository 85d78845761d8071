#include <windows.h>

#include <cderr.h>
#include <commdlg.h>

#include <cstdlib>
#include <cstring>

#include "base/format.h"
#include "config/controls.h"

static HWND Item(void *dialog, int id)
{
    return GetDlgItem(static_cast<HWND>(dialog), id);
}

static void GetText(void *dialog, int id, char *text, int size)
{
    if (size <= 0)
        return;
    text[0] = '\0';
    HWND control = Item(dialog, id);
    if (control)
        SendMessageA(control, WM_GETTEXT, static_cast<WPARAM>(size),
                     reinterpret_cast<LPARAM>(text));
    text[size - 1] = '\0';
}

static void SetText(void *dialog, int id, const char *text)
{
    SendMessageA(Item(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

static int GetCheck(void *dialog, int id)
{
    return static_cast<int>(SendMessageA(Item(dialog, id), BM_GETCHECK, 0, 0));
}

static void SetCheck(void *dialog, int id, int checked)
{
    SendMessageA(Item(dialog, id), BM_SETCHECK, static_cast<WPARAM>(checked), 0);
}

// LB_GETTEXT has no buffer size: ask for the line's length first, and read a
// line longer than the caller's buffer through one of its own, cut to fit.
static int ListGetLine(void *dialog, int id, int index, char *text, int size)
{
    HWND list = Item(dialog, id);
    LRESULT length = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR || size <= 0)
        return kListError;
    if (length < size) {
        text[0] = '\0';
        SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
        text[length] = '\0';
        return static_cast<int>(length);
    }
    char *whole = static_cast<char *>(calloc(static_cast<size_t>(length) + 1, 1));
    if (!whole)
        return kListError;
    SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(whole));
    memcpy(text, whole, static_cast<size_t>(size) - 1);
    text[size - 1] = '\0';
    free(whole);
    return size - 1;
}

static int ListFindExact(void *dialog, int id, const char *text)
{
    // From the start of the list (-1), letter case ignored.
    return static_cast<int>(SendMessageA(Item(dialog, id), LB_FINDSTRINGEXACT,
                                         static_cast<WPARAM>(-1),
                                         reinterpret_cast<LPARAM>(text)));
}

static int ListAdd(void *dialog, int id, const char *text)
{
    return static_cast<int>(
        SendMessageA(Item(dialog, id), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
}

static int ListGetSelection(void *dialog, int id)
{
    return static_cast<int>(SendMessageA(Item(dialog, id), LB_GETCURSEL, 0, 0));
}

static int ListDelete(void *dialog, int id, int index)
{
    return static_cast<int>(
        SendMessageA(Item(dialog, id), LB_DELETESTRING, static_cast<WPARAM>(index), 0));
}

static void ListSelect(void *dialog, int id, int index)
{
    SendMessageA(Item(dialog, id), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

static void ListReset(void *dialog, int id)
{
    SendMessageA(Item(dialog, id), LB_RESETCONTENT, 0, 0);
}

static void ShowError(void *dialog, const char *text, const char *title)
{
    MessageBoxA(static_cast<HWND>(dialog), text, title, MB_ICONERROR | MB_OK);
}

static void EndTheDialog(void *dialog, int result)
{
    EndDialog(static_cast<HWND>(dialog), result);
}

// The dialog manager moves the focus, so the default button follows it.
static void Focus(void *dialog, int id)
{
    HWND control = Item(dialog, id);
    SendMessageA(static_cast<HWND>(dialog), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    SendMessageA(control, EM_SETSEL, 0, -1);
}

// The full structure, with its reserved pointer, reserved value and extended
// flags: 88 bytes on 32-bit Windows.
static_assert(sizeof(void *) != 4 || sizeof(OPENFILENAMEA) == 88,
              "the open-file structure must be the full 88-byte form");

bool PickFileToOpen(void *dialog, const char *filter, char *path, int size)
{
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
    request.lpstrFilter = filter;
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

const DialogControls *Win32DialogControls()
{
    static const DialogControls controls = {
        GetText,       SetText,          GetCheck,   SetCheck,   ListGetLine,
        ListFindExact, ListAdd,          ListGetSelection, ListDelete, ListSelect,
        ListReset,     ShowError,        EndTheDialog, Focus};
    return &controls;
}
