// The session window: the Win32 shell of the run cycle. It turns timer, hot
// key and round messages into calls on the cycle and carries out what the
// cycle asks (paint, arm a timer, launch, close), never waiting on an
// emulator or a disk: rounds are prepared by the worker thread.
#include <ctime>
#include <string>

#include "base/format.h"
#include "base/random.h"
#include "saver/host.h"
#include "saver/presence.h"
#include "saver/session.h"
#include "saver/splash.h"

namespace {

// Posted by the worker when a round is ready to be taken.
const UINT kRoundReadyMessage = WM_APP + 1;
// Posted when the last process of a launch has ended.
const UINT kLaunchEndedMessage = WM_APP + 2;

HWND sessionWindow;
bool dark;                // the rounds are over: the window stays black
bool notSetUp;            // no settings: the window only says so, until a key
char keysNote[128];       // the hot keys another program holds, said under "Searching..."

void NotifyRoundReady(void *)
{
    PostMessageA(sessionWindow, kRoundReadyMessage, 0, 0);
}

uint64_t Now(void *)
{
    return GetTickCount64();
}

void ArmTimer(void *, int id, int32_t ms)
{
    SetTimer(sessionWindow, static_cast<UINT_PTR>(id), static_cast<UINT>(ms), nullptr);
}

void StopTimer(void *, int id)
{
    KillTimer(sessionWindow, static_cast<UINT_PTR>(id));
}

bool Present(void *, const char *exe)
{
    return EmulatorPresent(exe);
}

// A screen saver has no console: the splash's note is all the user reads.
void TellDeadEnd(void *, const char *)
{
}

void PaintSearching(void *, const char *note)
{
    PaintSearchingScreen(sessionWindow, note, keysNote);
}

void PaintRound(void *, const Round &round)
{
    PaintRoundScreen(sessionWindow, round);
}

void PaintDark(void *)
{
    dark = true;
    PaintDarkScreen(sessionWindow);
}

bool LaunchedRunning(void *)
{
    return LaunchedEmulatorRunning();
}

bool Launch(void *, const Round &round)
{
    char command[kCommandBytes];
    return CopyText(command, sizeof command, round.command) &&
           LaunchEmulator(command, round.folder);
}

int64_t RunTime(void *)
{
    return LaunchedRunTime();
}

int ExitCode(void *)
{
    return LaunchedExitCode();
}

void AskToClose(void *)
{
    AskEmulatorsToClose();
}

void EndSession(void *)
{
    DestroyWindow(sessionWindow);
    PostQuitMessage(1);
}

void Pause(void *, int ms)
{
    Sleep(static_cast<DWORD>(ms));
}

void EndLaunched(void *)
{
    EndLaunchedEmulators();
}

void LeaveLaunched(void *)
{
    LeaveLaunchedEmulators();
}

const CyclePlatform kPlatform = {nullptr,        Now,
                                 ArmTimer,       StopTimer,
                                 Present,        LaunchedRunning,
                                 PaintSearching, TellDeadEnd,
                                 PaintRound,     PaintDark,
                                 Launch,         RunTime,
                                 ExitCode,       AskToClose,
                                 SessionRequestRound, SessionCancelRound,
                                 EndSession,     Pause,
                                 EndLaunched,    LeaveLaunched};

// A key another program has registered first never reaches us while the
// emulator has the keyboard; the user is told which, and how to end anyway.
void RegisterHotKeys(HWND window)
{
    const struct {
        int id;
        UINT key;
        const char *name;
    } keys[] = {{kHotKeyEscape, VK_ESCAPE, "Escape"},
                {kHotKeyBackspace, VK_BACK, "Backspace"},
                {kHotKeyPause, VK_PAUSE, "Pause"}};
    std::string held;
    for (const auto &key : keys)
        if (!RegisterHotKey(window, key.id, 0, key.key))
            held += (held.empty() ? "" : ", ") + std::string(key.name);
    keysNote[0] = '\0';
    if (!held.empty())
        FormatText(keysNote, sizeof keysNote,
                   "Another program holds %s: quit the game, then press a key", held.c_str());
}

LRESULT OnCreate(HWND window)
{
    unsigned seed = static_cast<unsigned>(time(nullptr));
    SeedRandom(seed);
    if (fChildPreview)
        return 0;
    std::string said;
    switch (LoadSessionSettings(&said)) {
    case SessionStartup::NoSettings:
        // Nothing runs; a key or a click ends the session as usual.
        notSetUp = true;
        return 0;
    case SessionStartup::NoEmulator: {
        std::string text = std::string(kNoEmulatorText) + ".\n\n" + said +
                           "\nChoose them in the screen saver settings: Quillmere, Settings.";
        MessageBoxA(window, text.c_str(), kNoEmulatorCaption, MB_ICONERROR | MB_OK);
        return -1;
    }
    case SessionStartup::Ready:
        break;
    }
    sessionWindow = window;
    dark = false;
    WatchLaunches(window, kLaunchEndedMessage);
    StartSession(&kPlatform, NotifyRoundReady, nullptr, seed);
    RegisterHotKeys(window);
    return 0;
}

// The emulator's window took the keyboard; once it is gone the session
// takes it back, so that a key ends the session even when a hot key failed.
void OnLaunchEnded()
{
    if (sessionWindow && IsWindow(sessionWindow))
        SetForegroundWindow(sessionWindow);
}

LRESULT OnEraseBackground(HWND window)
{
    HDC dc = GetDC(window);
    RECT client;
    GetClientRect(window, &client);
    HBRUSH brush = CreateSolidBrush(dark ? RGB(0, 0, 0) : kBackgroundColour);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    ReleaseDC(window, dc);
    return 1;
}

LRESULT OnPreviewPaint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    SetBkColor(dc, kBackgroundColour);
    SetTextColor(dc, kSearchingColour);
    HGDIOBJ previous = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    TextOutA(dc, 20, 45, "Quillmere", 9);
    SelectObject(dc, previous);
    EndPaint(window, &paint);
    return 0;
}

LRESULT OnNoticePaint(HWND window)
{
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
    PaintNoticeScreen(window, kNotSetUpText);
    return 0;
}

}   // namespace

LRESULT WINAPI ScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate(window);
    case WM_TIMER:
        if (!fChildPreview)
            CycleTimer(SessionCycle(), static_cast<int>(wParam));
        return 0;
    case kRoundReadyMessage:
        if (!fChildPreview)
            SessionRoundReady();
        return 0;
    case kLaunchEndedMessage:
        if (!fChildPreview)
            OnLaunchEnded();
        return 0;
    case WM_ERASEBKGND:
        if (fChildPreview)
            break;
        return OnEraseBackground(window);
    case WM_PAINT:
        if (notSetUp && !fChildPreview)
            return OnNoticePaint(window);
        if (!fChildPreview)
            break;
        return OnPreviewPaint(window);
    case WM_HOTKEY:
        if (!fChildPreview)
            CycleHotKey(SessionCycle(), static_cast<int>(wParam));
        break;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        // The preview started nothing, so it ends, closes and looks for nothing.
        if (!fChildPreview)
            CycleShutdown(SessionCycle());
        return 0;
    case WM_MOUSEMOVE:
    case WM_ACTIVATE:
    case WM_ACTIVATEAPP:
    case WM_NCACTIVATE:
        return 0;
    default:
        break;
    }
    return DefScreenSaverProc(window, message, wParam, lParam);
}

BOOL WINAPI RegisterDialogClasses(HANDLE)
{
    return TRUE;
}
