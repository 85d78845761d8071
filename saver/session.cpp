#include "saver/session.h"

#include <utility>

#include "config/settings.h"
#include "config/settings_file.h"
#include "saver/worker.h"

namespace {

// How long the end of a session waits for the worker to stop.
const int kWorkerStopMs = 500;

RunCycle cycle;
RoundWorker worker;

}   // namespace

SessionStartup LoadSessionSettings(std::string *said)
{
    std::string note;
    int read = ReadSettingsOrDefaults(&note);
    if (said) {
        said->clear();
        if (!note.empty())
            *said += note + "\n";
        for (const std::string &name : UnknownSettingsNames())
            *said += std::string(SettingsFile()) + ": " + UnknownSettingSentence(name) + "\n";
    }
    if (read == -1)
        return SessionStartup::NoSettings;
    return SwitchOffUnusableEmulators() ? SessionStartup::Ready : SessionStartup::NoEmulator;
}

void StartSession(const CyclePlatform *platform, void (*notify)(void *), void *context,
                  unsigned seed)
{
    cycle = RunCycle();
    worker.Start(notify, context, seed);
    // Before the first round the process sign is the MESS executable's.
    CycleStart(cycle, platform,
               {TimerPoll, TimerEndRun, TimerStart, TimerStarting, DarkAfterMinutes * 60000},
               MessExe);
}

RunCycle &SessionCycle()
{
    return cycle;
}

void SessionRoundReady()
{
    Round round;
    if (worker.Take(&round))
        CycleRoundReady(cycle, std::move(round));
}

void SessionRequestRound(void *, RoundRequest request)
{
    worker.Request(std::move(request));
}

void SessionCancelRound(void *)
{
    worker.Stop(kWorkerStopMs);
}
