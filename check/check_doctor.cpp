// quillmere-check doctor: the run of every topic, and the topics on the
// settings, the emulator executables and the timers.
#include "check/check_doctor.h"

#include <memory>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/format.h"
#include "base/random.h"
#include "check/check.h"
#include "check/doctor.h"
#include "config/settings.h"
#include "config/settings_file.h"
#include "emulator/choose.h"
#include "emulator/facts.h"
#include "emulator/report.h"
#include "emulator/runner.h"

namespace doctor {

void CheckSettingsTopic()
{
    if (CheckSettingsRead && !settingsNote.empty())
        Say(Level::Warn, "settings",
            Text("There is %s; write the file to choose others (man quillmere tells the names).",
                 settingsNote.c_str()));
    else if (CheckSettingsRead)
        Say(Level::Ok, "settings", Text("The settings were read from %s.", Where().c_str()));
    for (const std::string &name : UnknownSettingsNames())
        Say(Level::Warn, "settings",
            Text("%s: %s; the line is skipped.", SettingsFile(), UnknownSettingSentence(name).c_str()));
    if (!CheckSettingsRead)
#ifdef _WIN32
        Say(Level::Fail, "settings",
            Text("Cannot read %s: open the screen saver's settings (Quillmere.scr /c), "
                 "choose the emulators and folders, and press OK.",
                 Where().c_str()));
#else
        Say(Level::Fail, "settings",
            Text("Cannot read %s: write it, one Name=value a line (man quillmere tells the "
                 "names).",
                 Where().c_str()));
#endif
}

void CheckExecutable(Emulator &emulator, const Emulator &other, const char *probe)
{
    std::string topic = std::string(emulator.which) + " executable";
    std::string path = Text("%s\\%s", emulator.folder, emulator.exe);
    if (!emulator.folder[0]) {
        if (other.folder[0])
            Say(Level::Ok, topic.c_str(),
                Text("No %s is set up: the saver shows only %s %s.", emulator.which, other.which,
                     other.which == std::string("MAME") ? "games" : "software"));
        else
            Say(Level::Fail, topic.c_str(),
                Text("No %s executable is set up: set %s, or %s.", emulator.which,
                     Setting("MamePath").c_str(), Setting("MessPath").c_str()));
        return;
    }
    emulator.configured = true;
    if (!FileCanBeOpened(path.c_str())) {
        Say(Level::Fail, topic.c_str(),
            Text("%s cannot be opened: install %s there or choose its executable in %s.",
                 path.c_str(), emulator.which,
                 Setting(emulator.which == std::string("MAME") ? "MamePath" : "MessPath").c_str()));
        return;
    }
    char command[kCommandBytes];
    if (!FormatText(command, sizeof command, "\"%s\" -listxml %s", path.c_str(), probe)) {
        Say(Level::Fail, topic.c_str(),
            Text("The path %s is too long for a command line: move %s to a shorter path.",
                 path.c_str(), emulator.which));
        return;
    }
    std::unique_ptr<char[]> report(new char[kRunnerOutputBytes]);
    report[0] = '\0';
    Clock::time_point start = Clock::now();
    int result = RunQuery(command, report.get());
    long ms = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    report[kRunnerOutputBytes - 1] = '\0';
    MachineFacts facts;
    if (result == 0 || result == 12)
        ReadMachineFacts(report.get(), probe, &facts);
    if (result == kRunnerTimeout)
        Say(Level::Fail, topic.c_str(),
            Text("%s did not answer \"-listxml %s\" within %d s: check that it starts by itself "
                 "(a console window, a missing DLL) or choose another executable.",
                 path.c_str(), probe, kAnswerLimitMs / 1000));
    else if (result != 0 && result != 12)
        Say(Level::Fail, topic.c_str(),
            Text("%s could not be run (step %d failed): choose a working %s executable.",
                 path.c_str(), result, emulator.which));
    else if (!facts.known)
        Say(Level::Fail, topic.c_str(),
            Text("%s runs but does not describe the machine %s with -listxml: it is not a %s "
                 "the saver can drive; choose the real %s executable.",
                 path.c_str(), probe, emulator.which, emulator.which));
    else {
        emulator.works = true;
        Say(Level::Ok, topic.c_str(),
            Text("%s answers \"-listxml %s\" in %.1f s.", path.c_str(), probe, ms / 1000.0));
    }
}

void CheckTimers()
{
    const char *topic = "timers";
    if (!CheckSettingsRead)
        return;
    bool fine = true;
    if (TimerPoll <= 0) {
        fine = false;
        Say(Level::Fail, topic,
            Text("The poll timer is %d ms: the saver would watch the emulator without pause; "
                 "set %s to %d.",
                 TimerPoll, Setting("PollTimer").c_str(), kDefaultTimerPoll));
    }
    if (TimerEndRun < TimerStart) {
        fine = false;
        Say(Level::Warn, topic,
            Text("A run (%d ms, %s) is shorter than the splash (%d ms, %s): each emulator is "
                 "closed before it has been seen; make the run longer.",
                 TimerEndRun, Setting("SystemChangeTimer").c_str(), TimerStart,
                 Setting("SplashScreenTimer").c_str()));
    }
    if (TimerStart < 0 || TimerStarting < 0) {
        fine = false;
        Say(Level::Fail, topic,
            Text("The splash (%d ms, %s) or the start wait (%d ms, %s) is negative: make both "
                 "positive.",
                 TimerStart, Setting("SplashScreenTimer").c_str(), TimerStarting,
                 Setting("WaitForMESSTimer").c_str()));
    }
    if (fine)
        Say(Level::Ok, topic,
            Text("Each run lasts %d s after a %.1f s splash; the emulator is polled every %d ms.",
                 TimerEndRun / 1000, TimerStart / 1000.0, TimerPoll));
    if (DarkAfterMinutes == 0)
        Say(Level::Ok, topic,
            Text("Rounds go on all night (%s is 0): the display never sleeps while the saver "
                 "runs.",
                 Setting("DarkAfterMinutes").c_str()));
    else
        Say(Level::Ok, topic,
            Text("After %d minutes of rounds the screen goes dark (%s), so the display can "
                 "sleep.",
                 DarkAfterMinutes, Setting("DarkAfterMinutes").c_str()));
}

}   // namespace doctor

using namespace doctor;

int CheckDoctor(int, char **)
{
    // The same samples from run to run, so that a run finds the facts the
    // one before asked for in the cache and gets further.
    SeedRandom(1);
    // An emulator that cannot answer within this limit counts as broken;
    // no query of the doctor waits longer.
    RunnerTimeLimitMs = kAnswerLimitMs;
    anyFailed = false;
    Emulator mame{"MAME", MamePath, MameExe}, mess{"MESS", MessPath, MessExe};

    CheckSettingsTopic();
    // Machines every build of the emulator has known for decades.
    CheckExecutable(mame, mess, "pacman");
    CheckExecutable(mess, mame, "nes");
    RomSample roms = CheckRomFolder(mame);
    CheckChoices(mame, roms);
    std::vector<SystemFolder> systems;
    CheckSoftwareTree(mess, &systems);
    CheckAllowedSystems(mess);
    CheckArtwork(mame, roms, mess, systems);
    CheckTimers();
    CheckHotKeys();
    return anyFailed ? 1 : 0;
}
