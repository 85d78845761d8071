#include "saver/cycle.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "base/format.h"
#include "emulator/sets.h"

namespace {

const CyclePlatform &P(const RunCycle &cycle)
{
    return *cycle.platform;
}

void Kill(RunCycle &cycle, std::initializer_list<int> ids)
{
    for (int id : ids)
        P(cycle).KillTimer(P(cycle).context, id);
}

void Arm(RunCycle &cycle, int id, int32_t ms)
{
    P(cycle).SetTimer(P(cycle).context, id, ms);
}

bool EmulatorPresent(RunCycle &cycle)
{
    return P(cycle).EmulatorPresent(P(cycle).context, cycle.exe);
}

bool LaunchedRunning(RunCycle &cycle)
{
    return P(cycle).LaunchedRunning(P(cycle).context);
}

uint64_t Now(RunCycle &cycle)
{
    return P(cycle).Now(P(cycle).context);
}

void RequestRound(RunCycle &cycle)
{
    RoundRequest request;
    request.pixels = cycle.pixels;
    request.recent.assign(cycle.recent.begin(), cycle.recent.end());
    request.refused = cycle.refused;
    // Each goes to the worker once; this session refuses its key meanwhile.
    request.broken = std::move(cycle.broken);
    cycle.broken.clear();
    cycle.preparing = true;
    P(cycle).RequestRound(P(cycle).context, std::move(request));
}

// The launch of the last round, judged once its emulator is gone: gone
// within kFailedStartMs without being asked is a failed start.
void JudgeLaunch(RunCycle &cycle)
{
    if (!cycle.judging)
        return;
    cycle.judging = false;
    const std::string &key = cycle.current.key;
    // Its files are missing: the set (MESS: the system) is broken until they
    // change. That is no fault of the emulator's, so the back-off, which is
    // for an emulator that fails with every game, does not hear of it.
    if (!cycle.launchFailed && P(cycle).LaunchedExitCode(P(cycle).context) == kFilesMissingExitCode) {
        cycle.broken.push_back({cycle.current.mameOrMess, cycle.current.romEntry});
        if (std::find(cycle.refused.begin(), cycle.refused.end(), key) == cycle.refused.end())
            cycle.refused.push_back(key);
        return;
    }
    int64_t ran = cycle.launchFailed ? 0 : P(cycle).LaunchedRunTime(P(cycle).context);
    bool failed = !cycle.closeAsked && ran >= 0 && ran < kFailedStartMs;
    if (!failed) {
        cycle.failuresInRow = 0;
        cycle.backoffMs = 0;
        cycle.note[0] = '\0';
        return;
    }
    if (++cycle.failures[key] == kFailuresBeforeRefusal)
        cycle.refused.push_back(key);
    if (++cycle.failuresInRow >= kFailuresBeforeBackoff) {
        cycle.backoffMs = cycle.backoffMs == 0 ? kFirstBackoffMs
                                               : std::min(cycle.backoffMs * 2, kLongestBackoffMs);
        // Names what was tried last; cut to the line rather than not said.
        FormatText(cycle.note, sizeof cycle.note, "The emulator keeps exiting at once (last: %.60s)",
                   cycle.current.software);
    }
}

// After DarkAfterMinutes: what this session launched is asked to close (and
// ended after kShutdownWaitMs), then the screen goes black and stays so.
void PollDark(RunCycle &cycle)
{
    if (LaunchedRunning(cycle)) {
        if (Now(cycle) - cycle.darkSince >= static_cast<uint64_t>(kShutdownWaitMs))
            P(cycle).EndLaunched(P(cycle).context);
        else
            P(cycle).AskToClose(P(cycle).context);
        return;
    }
    Kill(cycle, {kTimerPoll});
    P(cycle).PaintDark(P(cycle).context);
}

void GoDark(RunCycle &cycle)
{
    Kill(cycle, {kTimerPoll, kTimerEndRun, kTimerStart, kTimerStarting, kTimerRetry, kTimerDark});
    cycle.dark = true;
    cycle.darkSince = Now(cycle);
    if (cycle.preparing) {
        cycle.preparing = false;
        P(cycle).CancelRound(P(cycle).context);
    }
    if (LaunchedRunning(cycle))
        P(cycle).AskToClose(P(cycle).context);
    Arm(cycle, kTimerPoll, cycle.timers.poll);
}

void Poll(RunCycle &cycle)
{
    if (cycle.dark)
        return PollDark(cycle);
    if (EmulatorPresent(cycle))
        return;
    Kill(cycle, {kTimerEndRun, kTimerPoll, kTimerStart});
    JudgeLaunch(cycle);
    P(cycle).PaintSearching(P(cycle).context, cycle.note[0]      ? cycle.note
                                              : cycle.deadEnd[0] ? cycle.deadEnd
                                                                 : cycle.brokenNote);
    if (cycle.backoffMs > 0) {
        Arm(cycle, kTimerRetry, cycle.backoffMs);
        return;
    }
    RequestRound(cycle);
}

void Launch(RunCycle &cycle)
{
    Kill(cycle, {kTimerEndRun, kTimerPoll, kTimerStart, kTimerStarting});
    if (!EmulatorPresent(cycle)) {
        cycle.launchFailed = !P(cycle).Launch(P(cycle).context, cycle.current);
        cycle.judging = true;
        cycle.closeAsked = false;
    }
    Arm(cycle, kTimerEndRun, cycle.timers.endRun);
    Arm(cycle, kTimerStarting, cycle.timers.starting);
}

void AskToClose(RunCycle &cycle)
{
    // Only a run the session ends itself is no failed start: an emulator
    // already gone when asked was not ended by the request.
    if (cycle.judging && !cycle.launchFailed && P(cycle).LaunchedRunTime(P(cycle).context) < 0)
        cycle.closeAsked = true;
    P(cycle).AskToClose(P(cycle).context);
}

}   // namespace

void CycleStart(RunCycle &cycle, const CyclePlatform *platform, const CycleTimers &timers,
                const char *exe)
{
    cycle.platform = platform;
    cycle.timers = timers;
    CopyText(cycle.exe, sizeof cycle.exe, exe);
    Arm(cycle, kTimerPoll, timers.poll);
    if (timers.dark > 0)
        Arm(cycle, kTimerDark, timers.dark);
}

void CycleTimer(RunCycle &cycle, int id)
{
    if (cycle.ended)
        return;
    switch (id) {
    case kTimerPoll:
        Poll(cycle);
        break;
    case kTimerEndRun:
        AskToClose(cycle);
        break;
    case kTimerStart:
        Launch(cycle);
        break;
    case kTimerStarting:
        Kill(cycle, {kTimerStarting});
        Arm(cycle, kTimerPoll, cycle.timers.poll);
        break;
    case kTimerRetry:
        Kill(cycle, {kTimerRetry});
        RequestRound(cycle);
        break;
    case kTimerDark:
        GoDark(cycle);
        break;
    default:
        break;
    }
}

void CycleRoundReady(RunCycle &cycle, Round round)
{
    if (cycle.ended || !cycle.preparing)
        return;
    cycle.preparing = false;
    if (round.brokenSets > 0)
        FormatText(cycle.brokenNote, sizeof cycle.brokenNote,
                   round.brokenSets == 1 ? "%ld set found broken so far"
                                         : "%ld sets found broken so far",
                   round.brokenSets);
    if (!round.chosen) {
        if (round.deadEnd[0] && strcmp(round.deadEnd, cycle.deadEnd) != 0) {
            CopyText(cycle.deadEnd, sizeof cycle.deadEnd, round.deadEnd);
            P(cycle).TellDeadEnd(P(cycle).context, cycle.deadEnd);
        }
        // "Searching..." stays up, saying why when it knows; the next poll
        // tries again.
        Arm(cycle, kTimerPoll, cycle.timers.poll);
        return;
    }
    cycle.deadEnd[0] = '\0';
    cycle.current = std::move(round);
    CopyText(cycle.exe, sizeof cycle.exe, cycle.current.exe);
    cycle.recent.push_front(cycle.current.key);
    if (cycle.recent.size() > static_cast<size_t>(kRepeatWindow))
        cycle.recent.pop_back();
    P(cycle).PaintRound(P(cycle).context, cycle.current);
    Arm(cycle, kTimerStart, cycle.timers.start);
}

void CycleHotKey(RunCycle &cycle, int id)
{
    if (cycle.ended)
        return;
    switch (id) {
    case kHotKeyEscape:
        P(cycle).EndSession(P(cycle).context);
        break;
    case kHotKeyPause:
        AskToClose(cycle);
        break;
    case kHotKeyBackspace:
        cycle.killOnExit = false;
        P(cycle).EndSession(P(cycle).context);
        break;
    default:
        break;
    }
}

void CycleShutdown(RunCycle &cycle)
{
    if (cycle.ended || !cycle.platform)
        return;
    cycle.ended = true;
    Kill(cycle, {kTimerPoll, kTimerEndRun, kTimerStart, kTimerStarting, kTimerRetry, kTimerDark});
    P(cycle).CancelRound(P(cycle).context);
    if (!cycle.killOnExit) {
        P(cycle).LeaveLaunched(P(cycle).context);
        return;
    }
    // Ask, and wait for what this session launched to go, but never for
    // ever: what still runs after the wait is ended.
    uint64_t start = Now(cycle);
    while (LaunchedRunning(cycle)) {
        if (Now(cycle) - start >= static_cast<uint64_t>(kShutdownWaitMs)) {
            P(cycle).EndLaunched(P(cycle).context);
            break;
        }
        P(cycle).AskToClose(P(cycle).context);
        P(cycle).Sleep(P(cycle).context, kShutdownStepMs);
    }
}
