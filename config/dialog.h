// The configuration dialog's decisions, over the DialogControls table: what
// it shows on opening, and what each command does. The Win32 dialog procedure
// (dialog_win32.cpp) only forwards its messages here.
#pragma once

#include "config/controls.h"

constexpr char kMessDefaultOption[] = "-skip_gameinfo -skip_warnings -nonu  -nowindow";
constexpr char kMameDefaultOption[] = "-skip_gameinfo -nowindow";

// What the dialog asks of the user through windows of its own.
struct DialogPrompts {
    // The open-file dialog for the MESS (forMame false) or MAME executable.
    // path (size bytes) holds the initial file name and receives the chosen
    // full path. False when the user cancelled; path is then unchanged.
    bool (*ChooseExecutable)(void *dialog, bool forMame, char *path, int size);
    // The About box.
    void (*ShowAbout)(void *dialog);
    // The folder picker, titled title, starting at the folder in path (size
    // bytes), which receives the chosen folder. False when the user cancelled
    // or the folder's name does not fit; path is then unchanged.
    bool (*ChooseFolder)(void *dialog, const char *title, char *path, int size);
};

// Opening: loads the settings (a missing key is not reported), puts in the
// defaults for empty options and zero timers, and shows everything. A box
// showing a stored value as it was loaded is remembered, so that saving
// leaves that value as it is stored while the box is not changed.
void OpenConfiguration(void *dialog, const DialogControls *controls);

// Fills the controls from the settings.
void DisplayConfiguration(void *dialog, const DialogControls *controls);

// One WM_COMMAND, picked by the control id. OK, and the dialog manager's own
// 1 (Enter), check the boxes, then save and end the dialog; Cancel and 2
// (Escape, the close box, Alt+F4, WM_CLOSE) end it without saving. Other ids
// the dialog has no command for do nothing.
void ConfigurationCommand(void *dialog, const DialogControls *controls,
                          const DialogPrompts *prompts, int id);
