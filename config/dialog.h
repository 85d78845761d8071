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
};

// Opening: loads the settings (a missing key is not reported), puts in the
// defaults for empty options and zero timers, and shows everything.
void OpenConfiguration(void *dialog, const DialogControls *controls);

// Fills the controls from the settings.
void DisplayConfiguration(void *dialog, const DialogControls *controls);

// One WM_COMMAND, picked by the control id. Ids the dialog has no command for
// (among them 1 and 2, which Escape, Enter and the close box produce) do
// nothing, so only OK and Cancel end the dialog.
void ConfigurationCommand(void *dialog, const DialogControls *controls,
                          const DialogPrompts *prompts, int id);
