// The dialog's controls as the configuration code uses them: a small table of
// operations, so saving, the dialog's decisions and the allowed-systems list
// run unchanged over real Win32 controls and over a substitute in tests.
#pragma once

constexpr int kListError = -1;   // LB_ERR

struct DialogControls {
    // Control text, at most size - 1 characters, always NUL-terminated.
    void (*GetText)(void *dialog, int id, char *text, int size);
    void (*SetText)(void *dialog, int id, const char *text);
    int (*GetCheck)(void *dialog, int id);
    void (*SetCheck)(void *dialog, int id, int checked);
    // List box operations; results as the list box gives them.
    int (*ListGetLine)(void *dialog, int id, int index, char *text, int size);
    int (*ListFindExact)(void *dialog, int id, const char *text);
    int (*ListAdd)(void *dialog, int id, const char *text);
    int (*ListGetSelection)(void *dialog, int id);
    int (*ListDelete)(void *dialog, int id, int index);
    void (*ListSelect)(void *dialog, int id, int index);
    void (*ListReset)(void *dialog, int id);
    // A message box owned by the dialog with the error icon.
    void (*ShowError)(void *dialog, const char *text, const char *title);
    void (*EndDialog)(void *dialog, int result);
    // Puts the keyboard focus on the control, its text selected.
    void (*Focus)(void *dialog, int id);
};

// The Win32 controls (Windows build only).
const DialogControls *Win32DialogControls();

// The Win32 open-file dialog owned by dialog (Windows build only), filter as
// the open-file structure takes it. It starts in the folder of path, with its
// file name chosen. On OK path (size bytes) holds the choice; cancelled or
// failed, path is left as it was.
bool PickFileToOpen(void *dialog, const char *filter, char *path, int size);

// Control ids of dialog template 2003.
enum ControlId {
    IDC_MESS_EXE = 100,
    IDC_MESS_OPTION = 103,
    IDC_MESS_SOFTWARE = 104,
    IDC_MESS_BIOS = 107,
    IDC_TIMER_END_RUN = 110,
    IDC_TIMER_START = 114,
    IDC_SYSTEMS_LIST = 116,
    IDC_FILL_SYSTEMS = 117,
    IDC_ADD_SYSTEM = 118,
    IDC_SYSTEM_NAME = 119,
    IDC_DELETE_SELECTED = 120,
    IDC_RESET_LIST = 121,
    IDC_ABOUT = 122,
    IDC_MESS_DEFAULT = 123,
    IDC_MAME_EXE = 126,
    IDC_MAME_BROWSE = 127,
    IDC_MAME_ROMS = 129,
    IDC_MAME_OPTION = 131,
    IDC_MAME_DEFAULT = 132,
    IDC_ONLY_PERFECT = 133,
    IDC_DARK_AFTER = 135,
    IDC_MESS_SOFTWARE_BROWSE = 140,
    IDC_MESS_BIOS_BROWSE = 141,
    IDC_MAME_ROMS_BROWSE = 142,
    IDC_CHOICES = 137,           // opens the Choices dialog
    IDC_OK = 201,
    IDC_MESS_BROWSE = 202,
    IDC_CANCEL = 203,
};

// The dialog manager's own ids: Enter (with no other default button), and
// Escape, the close box, Alt+F4 and WM_CLOSE.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

// A box showing a stored value exactly as it was loaded. Saving leaves that
// value alone while the box still shows the same text: a path the code page
// could not hold whole when it was read is never written back changed.
void RememberShownValue(int id, const char *text);
void ForgetShownValues();

// Checks every box before anything is saved: a timer holds digits only, within
// its range; a text fits its setting. False after a message naming the box
// and what it takes, with the focus back on that box.
bool CheckConfiguration(void *dialog, const DialogControls *controls);

// Reads the dialog's controls into the settings and writes the values through
// the settings store (a value whose box still shows what was loaded stays as
// it is stored), stopping at the first failure with its message (and ending
// the dialog with 1).
void SaveConfigToRegistry(void *dialog, const DialogControls *controls);

// Packs the list's lines into a "SystemsList" value. Returns the value's size
// in bytes; *leftOut counts the lines that did not fit the 10240 bytes.
int BuildSystemsList(void *dialog, const DialogControls *controls,
                     char *packed, int *leftOut);
