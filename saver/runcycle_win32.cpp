#include "saver/runcycle.h"

#include "artwork/lookup.h"
#include "artwork/picture.h"
#include "config/settings.h"
#include "emulator/choose.h"
#include "emulator/report.h"
#include "saver/presence.h"
#include "saver/splash.h"
#include "saver/titlecard.h"

char Machine[64];
char Software[1024];
char Command[1024];

static void ShowPicture(HWND window)
{
    char path[kPicturePathBytes];
    int mode = kArtworkMode;
    int found = MameOrMess == 1 ? GetMAMEPicture(path, Software, &mode)
                                : GetMESSPicture(path, Machine, Software, &mode);
    if (!found)
        return;
    RECT pictureRect;
    HDC picture = LoadPNGintoBITMAP(path, window, &pictureRect);
    if (!picture)
        return;
    DisplayPNGBitmap(picture, window, &pictureRect, mode);
    FreeLoadedPicture(picture);
}

static void Poll(HWND window)
{
    if (EmulatorPresent())
        return;
    KillTimer(window, kTimerEndRun);
    KillTimer(window, kTimerPoll);
    KillTimer(window, kTimerStart);

    Splash splash;
    SplashSearching(splash, window);
    bool chosen = false;
    for (int call = 0; call < kChoicesPerPoll && !chosen; ++call)
        chosen = ChooseSoftware(Machine, Software, Command) == 0;
    if (!chosen) {
        // Nothing could be chosen this time: keep "Searching..." up and let
        // the message loop (and the hot keys) run before the next try.
        SplashRelease(splash);
        SetTimer(window, kTimerPoll, static_cast<UINT>(TimerPoll), nullptr);
        return;
    }
    SplashClear(splash);
    ShowPicture(window);

    static char description[1024];
    static char year[1024];
    int described = MameOrMess == 1
                        ? GetDriverInformation(MamePath, MameExe, Software, description, year)
                        : GetDriverInformation(MessPath, MessExe, Machine, description, year);
    TitleCard card = ChooseTitleCard(MameOrMess, described != 0, description, Machine, Software);
    SplashTitleCard(splash, card.title, card.subtitle);
    SplashRelease(splash);
    SetTimer(window, kTimerStart, static_cast<UINT>(TimerStart), nullptr);
}

static void Launch(HWND window)
{
    KillTimer(window, kTimerEndRun);
    KillTimer(window, kTimerPoll);
    KillTimer(window, kTimerStart);
    KillTimer(window, kTimerStarting);
    if (!EmulatorPresent()) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
        PROCESS_INFORMATION process = {};
        if (CreateProcessA(nullptr, Command, nullptr, nullptr, FALSE,
                           BELOW_NORMAL_PRIORITY_CLASS, nullptr,
                           MameOrMess == 1 ? MamePath : MessPath, &startup, &process)) {
            // The saver knows its emulators by their signs, not by handles:
            // give these back at once so a long session holds none.
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
    }
    SetTimer(window, kTimerEndRun, static_cast<UINT>(TimerEndRun), nullptr);
    SetTimer(window, kTimerStarting, static_cast<UINT>(TimerStarting), nullptr);
}

static void EndOfStartingWait(HWND window)
{
    KillTimer(window, kTimerStarting);
    SetTimer(window, kTimerPoll, static_cast<UINT>(TimerPoll), nullptr);
}

static void EndOfRun()
{
    for (int sent = 0; sent < kClosesPerTick; ++sent) {
        HWND emulator = FindWindowA("MAME", nullptr);
        if (!emulator)
            break;
        CloseEmulatorWindow(emulator);
    }
}

void RunCycleTimer(HWND window, WPARAM id)
{
    switch (id) {
    case kTimerPoll:
        Poll(window);
        break;
    case kTimerEndRun:
        EndOfRun();
        break;
    case kTimerStart:
        Launch(window);
        break;
    case kTimerStarting:
        EndOfStartingWait(window);
        break;
    default:
        break;
    }
}
