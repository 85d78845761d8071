// What a full-screen session does the same way under every shell (the Win32
// window, the X11 event loop): the check of the settings at start-up, and
// the round worker that feeds the run cycle.
#pragma once
#include <string>

#include "saver/cycle.h"

enum class SessionStartup {
    Ready,
    NoSettings,   // the settings could not be read
    NoEmulator,   // neither emulator's executable can be opened
};

constexpr char kNoEmulatorText[] =
    "Please configure Quillmere with at least one of MESS or MAME binary";
constexpr char kNoEmulatorCaption[] = "Binary not found";

// Loads the settings from the current store and switches off, for this
// session only, an emulator whose executable cannot be opened. Each line of
// *said (when given) is something the user should hear on a console: the
// defaults used without a settings file, the file's unknown names.
SessionStartup LoadSessionSettings(std::string *said = nullptr);

// Starts the round worker (its draws seeded with seed) and the run cycle
// over platform, with the timers of the settings. notify runs on the
// worker's thread each time a round is ready: it must only pass the news on
// to the shell's thread, which then calls SessionRoundReady. The platform's
// RequestRound and CancelRound must be SessionRequestRound and
// SessionCancelRound. A process may run one session after another.
void StartSession(const CyclePlatform *platform, void (*notify)(void *context), void *context,
                  unsigned seed);

// The session's run cycle, for the shell's events.
RunCycle &SessionCycle();

// On the shell's thread: hands the ready round, if any, to the cycle.
void SessionRoundReady();

void SessionRequestRound(void *context, RoundRequest request);
void SessionCancelRound(void *context);
