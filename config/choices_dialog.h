// The "Choices..." dialog: which arcade games the saver shows and how loud.
// Its decisions run over the DialogControls table, like the main dialog's;
// the Win32 dialog procedure (choices_dialog_win32.cpp) forwards to them.
// Its OK writes its six values at once; Cancel leaves them.
#pragma once

#include "config/controls.h"

// Control ids of dialog template 2004.
enum ChoicesControlId {
    IDC_CHOICES_OK = 1,          // IDOK: Enter, and the OK button
    IDC_CHOICES_CANCEL = 2,      // IDCANCEL: Escape, the close box and Cancel
    IDC_GAME_LIST = 302,
    IDC_GAME_LIST_BROWSE = 303,
    IDC_CATEGORY_FILE = 305,
    IDC_CATEGORY_BROWSE = 306,
    IDC_SKIP_CATEGORIES = 308,   // one category prefix a line
    IDC_SKIP_DEFAULT = 309,
    IDC_PARENTS_ONLY = 310,
    IDC_SHOW_NOT_WORKING = 311,
    IDC_SOUND_LEVEL = 313,       // normal, quiet, very quiet, off
};

// The sound levels of the list, as SoundVolume values.
constexpr int kSoundLevels = 4;
constexpr int kSoundLevelVolumes[kSoundLevels] = {0, 10, 20, 33};
extern const char *const kSoundLevelNames[kSoundLevels];

// The line of the list that stands for a SoundVolume value.
int SoundLevelOf(int soundVolume);

struct ChoicesPrompts {
    // The open-file dialog for the game list (forCategories false) or the
    // category file; path (size bytes) holds the initial name and receives the
    // chosen one. False when the user cancelled.
    bool (*ChooseFile)(void *dialog, bool forCategories, char *path, int size);
};

// Opening: shows the settings as loaded (the main dialog loaded them).
void OpenChoices(void *dialog, const DialogControls *controls);

// One WM_COMMAND by control id.
void ChoicesCommand(void *dialog, const DialogControls *controls, const ChoicesPrompts *prompts,
                    int id);

// Reads the controls into the settings and writes the six values through the
// settings store; false after showing the failure's message.
bool SaveChoices(void *dialog, const DialogControls *controls);

// Runs the dialog, owned by the main dialog (Windows build only).
void ShowChoicesDialog(void *owner);
