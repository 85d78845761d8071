// The run cycle driven by a fake clock and a fake platform: timers fire in
// time order, the emulator is a small model that obeys close requests or
// dies at its start, and every call the cycle makes is recorded.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "saver/cycle.h"

using std::string;

namespace {

struct FakeSession {
    uint64_t now = 0;
    std::map<int, std::pair<uint64_t, int32_t>> timers;   // id -> (due, period)
    // The emulator model.
    bool running = false, diesAtStart = false;
    bool users = false;      // an emulator the user started: present, never ours
    bool stubborn = false;   // ours ignores close requests
    int exitCode = 0;        // what ours ends with
    uint64_t launchedAt = 0;
    int64_t ranFor = -1;
    std::vector<string> calls;
    std::vector<RoundRequest> requests;

    void Log(const string &call) { calls.push_back(call); }
    void Gone()
    {
        running = false;
        ranFor = static_cast<int64_t>(now - launchedAt);
    }
};

FakeSession *fake;

const CyclePlatform kFake = {
    nullptr,
    [](void *) { return fake->now; },
    [](void *, int id, int32_t ms) {
        fake->timers[id] = {fake->now + static_cast<uint64_t>(ms), ms};
    },
    [](void *, int id) { fake->timers.erase(id); },
    [](void *, const char *) { return fake->running || fake->users; },
    [](void *) { return fake->running; },
    [](void *, const char *note) { fake->Log(string("searching:") + note); },
    [](void *, const char *why) { fake->Log(string("tell:") + why); },
    [](void *, const Round &round) { fake->Log("paint:" + round.key); },
    [](void *) { fake->Log("dark"); },
    [](void *, const Round &round) {
        fake->Log(string("launch:") + round.command);
        fake->launchedAt = fake->now;
        fake->running = !fake->diesAtStart;
        fake->ranFor = fake->diesAtStart ? 50 : -1;
        return true;
    },
    [](void *) { return fake->ranFor; },
    [](void *) { return fake->ranFor < 0 ? -1 : fake->exitCode; },
    [](void *) {
        fake->Log("close");
        if (fake->running && !fake->stubborn)
            fake->Gone();
    },
    [](void *, RoundRequest request) {
        fake->Log("request");
        fake->requests.push_back(std::move(request));
    },
    [](void *) { fake->Log("cancel"); },
    [](void *) { fake->Log("end"); },
    [](void *, int ms) { fake->now += static_cast<uint64_t>(ms); },
    [](void *) {
        fake->Log("endLaunched");
        fake->running = false;
    },
    [](void *) { fake->Log("leave"); },
};

class Cycle : public ::testing::Test {
protected:
    FakeSession session;
    RunCycle cycle;
    void SetUp() override
    {
        fake = &session;
        CycleStart(cycle, &kFake, {100, 60000, 1000, 2000, 0}, "mess.exe");
    }
    // Fires every timer due within ms, in time order (a timer repeats until killed).
    void Advance(uint64_t ms)
    {
        uint64_t end = session.now + ms;
        for (;;) {
            auto next = session.timers.end();
            for (auto it = session.timers.begin(); it != session.timers.end(); ++it)
                if (it->second.first <= end &&
                    (next == session.timers.end() || it->second.first < next->second.first))
                    next = it;
            if (next == session.timers.end())
                break;
            session.now = next->second.first;
            next->second.first += static_cast<uint64_t>(next->second.second);
            CycleTimer(cycle, next->first);
        }
        session.now = end;
    }
    void Deliver(const string &game)
    {
        Round round;
        round.chosen = true;
        round.mameOrMess = 1;
        snprintf(round.software, sizeof round.software, "%s", game.c_str());
        snprintf(round.command, sizeof round.command, "run %s", game.c_str());
        round.key = "MAME\t" + game;
        round.romEntry = "roms\\" + game;
        CycleRoundReady(cycle, std::move(round));
    }
    bool Armed(int id) const { return session.timers.count(id) != 0; }
    string LastCalls(size_t n) const
    {
        string text;
        for (size_t i = session.calls.size() > n ? session.calls.size() - n : 0;
             i < session.calls.size(); ++i)
            text += session.calls[i] + ";";
        return text;
    }
    // One round from the poll (unless a round is being prepared already) to
    // the launch.
    void RoundUntilLaunch(const string &game)
    {
        if (!cycle.preparing)
            Advance(100);
        ASSERT_TRUE(cycle.preparing) << LastCalls(4);
        Deliver(game);
        Advance(1000);
    }
};

}  // namespace

TEST_F(Cycle, OneRoundFromSearchingToTheNextWithTheDefaultTimers)
{
    Advance(100);
    EXPECT_EQ("searching:;request;", LastCalls(2));
    EXPECT_TRUE(session.timers.empty()) << "no timer runs while the round is prepared";
    Deliver("galaga");
    EXPECT_EQ("paint:MAME\tgalaga;", LastCalls(1));
    Advance(999);
    EXPECT_FALSE(session.running);
    Advance(1);
    EXPECT_EQ("launch:run galaga;", LastCalls(1));
    EXPECT_TRUE(Armed(kTimerEndRun) && Armed(kTimerStarting) && !Armed(kTimerPoll));
    Advance(2000);
    EXPECT_TRUE(Armed(kTimerPoll) && !Armed(kTimerStarting));
    Advance(57999);
    EXPECT_TRUE(session.running) << "asked to close only 60 s after its launch";
    Advance(1);
    EXPECT_FALSE(session.running);
    Advance(100);
    EXPECT_EQ("close;searching:;request;", LastCalls(3));
    ASSERT_EQ(2u, session.requests.size());
    EXPECT_EQ(std::vector<string>{"MAME\tgalaga"}, session.requests[1].recent);
}

TEST_F(Cycle, HotKeys)
{
    struct Row {
        const char *what;
        int key;
        bool preparing;
        const char *calls;        // from the key on
        uint64_t shutdownMs;      // fake time the shutdown took
    } rows[] = {
        {"Escape closes the emulator", kHotKeyEscape, false, "end;cancel;close;", 100},
        {"Escape beside the user's emulator neither waits nor asks", kHotKeyEscape, true,
         "end;cancel;", 0},
        {"Escape while a round is prepared", kHotKeyEscape, true, "end;cancel;", 0},
        {"Backspace leaves the game running", kHotKeyBackspace, false, "end;cancel;leave;", 0},
        {"Pause skips to the next game", kHotKeyPause, false, "close;", 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        session = FakeSession();
        cycle = RunCycle();
        CycleStart(cycle, &kFake, {100, 60000, 1000, 2000, 0}, "mess.exe");
        // The user's emulator holds the cycle in its wait: nothing is prepared.
        session.users = strstr(row.what, "user's") != nullptr;
        if (row.preparing)
            Advance(100);
        else
            RoundUntilLaunch("galaga");
        size_t before = session.calls.size();
        uint64_t at = session.now;
        CycleHotKey(cycle, row.key);
        if (row.key != kHotKeyPause)
            CycleShutdown(cycle);   // the platform's EndSession destroys the window
        string after;
        for (size_t i = before; i < session.calls.size(); ++i)
            after += session.calls[i] + ";";
        EXPECT_EQ(row.calls, after);
        EXPECT_EQ(row.shutdownMs, session.now - at);
    }
    // The session goes on after Pause: the next poll prepares a new round.
    Advance(2100);
    EXPECT_EQ("searching:;request;", LastCalls(2));
}

TEST_F(Cycle, WatchdogRefusesRepeatFailuresAndSlowsDownAfterFiveInARow)
{
    session.diesAtStart = true;
    std::vector<int32_t> waits;
    // "gone" games end with exit code 2, files missing: broken at once, and
    // no step towards the back-off.
    for (const char *game : {"a", "a", "b", "gone1", "gone2", "c", "d", "e", "f", "g", "h", "i", "j"}) {
        session.exitCode = strncmp(game, "gone", 4) == 0 ? 2 : 1;
        RoundUntilLaunch(game);
        Advance(2100);   // the starting wait, then the poll finds it gone
        if (Armed(kTimerRetry)) {
            waits.push_back(session.timers[kTimerRetry].second);
            Advance(static_cast<uint64_t>(waits.back()));
        }
    }
    EXPECT_EQ((std::vector<int32_t>{10000, 20000, 40000, 80000, 160000, 300000, 300000}), waits);
    EXPECT_EQ("searching:The emulator keeps exiting at once (last: j);request;", LastCalls(2));
    EXPECT_EQ((std::vector<string>{"MAME\ta", "MAME\tgone1", "MAME\tgone2"}),
              session.requests.back().refused);
    string broken;
    for (const RoundRequest &request : session.requests)
        for (const BrokenSet &set : request.broken)
            broken += std::to_string(set.mameOrMess) + set.romEntry + ";";
    EXPECT_EQ("1roms\\gone1;1roms\\gone2;", broken);

    // Gone after 4,999 ms is still a failed start; a start that lasts 5 s
    // resets the watchdog: no note, no waiting.
    session.diesAtStart = false;
    for (uint64_t ran : {4999, 5000}) {
        RoundUntilLaunch("k");
        Advance(ran);
        session.Gone();
        Advance(100);
        EXPECT_EQ(ran < 5000 ? 12 : 0, cycle.failuresInRow) << ran;
        Advance(ran < 5000 ? 300000 : 0);
    }
    EXPECT_EQ("searching:;request;", LastCalls(2));
    EXPECT_FALSE(Armed(kTimerRetry));
    // What the choice found broken so far is said under "Searching...".
    Round none;
    none.brokenSets = 3;
    CycleRoundReady(cycle, std::move(none));
    Advance(100);
    EXPECT_EQ("searching:3 sets found broken so far;request;", LastCalls(2));
    // A dead end is said there instead, and told once however often it is met.
    for (int i = 0; i < 2; ++i) {
        Round dead;
        dead.brokenSets = 3;
        snprintf(dead.deadEnd, sizeof dead.deadEnd, "The ROM folder r is empty");
        CycleRoundReady(cycle, std::move(dead));
        Advance(100);
    }
    EXPECT_EQ("tell:The ROM folder r is empty;searching:The ROM folder r is empty;request;"
              "searching:The ROM folder r is empty;request;",
              LastCalls(5));
}

TEST_F(Cycle, RunEndedByTheSessionIsNoFailedStart)
{
    cycle.timers.endRun = 3000;   // shorter than the failed-start limit
    for (const char *game : {"a", "a", "a", "a", "a", "a"}) {
        RoundUntilLaunch(game);
        Advance(3100);
    }
    EXPECT_TRUE(session.requests.back().refused.empty());
    EXPECT_EQ(0, cycle.failuresInRow);

    // Asked to close only after it had gone by itself: still a failed start.
    session.diesAtStart = true;
    cycle.timers.endRun = 250;
    for (const char *game : {"b", "b"}) {
        RoundUntilLaunch(game);
        Advance(2100);
    }
    EXPECT_EQ(std::vector<string>{"MAME\tb"}, session.requests.back().refused);
}

TEST_F(Cycle, RecentRoundsGoWithEachRequestNewestFirstAtMostTwenty)
{
    cycle.timers.endRun = 100;
    for (int i = 0; i < 25; ++i) {
        RoundUntilLaunch("g" + std::to_string(i));
        Advance(2100);
    }
    const std::vector<string> &recent = session.requests.back().recent;
    ASSERT_EQ(20u, recent.size());
    EXPECT_EQ("MAME\tg24", recent.front());
    EXPECT_EQ("MAME\tg5", recent.back());
}

TEST_F(Cycle, DarkAfterItsTimeClosesOursLaunchesNothingMoreAndShowsBlack)
{
    struct Row {
        const char *what;
        bool stubborn;          // our emulator ignores close requests
        const char *calls;      // from the dark timer on, repeats squeezed
        uint64_t blackAfterMs;  // from the dark timer
    } rows[] = {
        {"the emulator obeys", false, "close;dark;", 100},
        {"a stubborn one is ended after the wait", true, "close;endLaunched;dark;", 10100},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        session = FakeSession();
        session.stubborn = row.stubborn;
        cycle = RunCycle();
        CycleStart(cycle, &kFake, {100, 60000, 1000, 2000, 5000}, "mess.exe");
        RoundUntilLaunch("galaga");
        Advance(5000 - session.now - 1);
        size_t before = session.calls.size();
        Advance(1);
        uint64_t darkAt = session.now;
        uint64_t blackAt = 0;
        for (int i = 0; i < 400 && !blackAt; ++i) {
            Advance(50);
            if (session.calls.back() == "dark")
                blackAt = session.now;
        }
        Advance(120000);
        string after;
        for (size_t i = before; i < session.calls.size(); ++i)
            if (i == before || session.calls[i] != session.calls[i - 1])
                after += session.calls[i] + ";";
        EXPECT_EQ(row.calls, after);
        EXPECT_NEAR(static_cast<double>(row.blackAfterMs), static_cast<double>(blackAt - darkAt), 50);
        EXPECT_TRUE(session.timers.empty()) << "no more rounds";
    }
}
