// Filling the dialog's allowed-systems list from the MESS emulator's own
// -listxml report: one line "NAME EXTENSION" per software file extension
// that the system's description names.
#pragma once

#include "config/controls.h"

// Asks the MESS executable shown in box 100 about the system name and adds
// every line "name extension" that list 116 does not hold yet (letter case
// ignored). An empty executable box is reported; a name the emulator does not
// know, or one that is not a plain driver name (letters, digits, '_'), adds
// nothing and says nothing.
void AddSystemToList(void *dialog, const DialogControls *controls, const char *name);

// AddSystemToList for every entry of the software folder shown in box 104.
// An empty executable or software box is reported; a folder that cannot be
// listed adds nothing.
void AddAllSystemToList(void *dialog, const DialogControls *controls);

