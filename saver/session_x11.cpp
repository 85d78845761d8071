#include "saver/session_x11.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/dpms.h>
#include <X11/extensions/scrnsaver.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <thread>
#include <utility>

#include "base/random.h"
#include "config/settings_file.h"
#include "emulator/cmdline.h"
#include "saver/hotkeys_x11.h"
#include "saver/presence_posix.h"
#include "saver/presence_x11.h"
#include "saver/session.h"
#include "saver/splash_x11.h"

namespace {

// The loop wakes at least this often, so that the keyboard focus is kept
// even between the cycle's timers.
const int kLongestWaitMs = 500;
// Shorter timers are made this long, as Windows makes them.
const int32_t kShortestTimerMs = 10;

struct Timer {
    int64_t due;
    int32_t period;
};

// The cycle's names of kX11HotKeys, in their order.
const int kHotKeyIds[kX11HotKeyCount] = {kHotKeyEscape, kHotKeyPause, kHotKeyBackspace};

struct X11Session {
    Display *display = nullptr;
    Window root = 0, window = 0;
    X11Splash splash;
    int roundReady[2] = {-1, -1};   // the worker writes a byte when a round is ready
    std::map<int, Timer> timers;
    bool ending = false;
    bool keysMissing = false;      // a hot key another program holds
    bool saverExtension = false;   // the server has MIT-SCREEN-SAVER
    bool dpmsSwitchedOn = false;   // DPMS was off; the dark screen switched it on
};

X11Session session;

int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Runs on the worker's thread: a byte down the pipe wakes the event loop.
void NotifyRoundReady(void *)
{
    char byte = 'r';
    ssize_t written = write(session.roundReady[1], &byte, 1);
    (void)written;   // a full pipe already holds the news
}

uint64_t Now(void *)
{
    return static_cast<uint64_t>(NowMs());
}

void ArmTimer(void *, int id, int32_t ms)
{
    ms = std::max(ms, kShortestTimerMs);
    session.timers[id] = {NowMs() + ms, ms};
}

void StopTimer(void *, int id)
{
    session.timers.erase(id);
}

bool Present(void *, const char *)
{
    return LaunchedChildRunning() || EmulatorWindowExists(session.display);
}

// The splash is shown only while no emulator runs: it comes to the front and
// takes the keyboard, so that a key press on it ends the session. The
// emulator's window, made later, lies above it.
void ToFront()
{
    XRaiseWindow(session.display, session.window);
    XSetInputFocus(session.display, session.window, RevertToPointerRoot, CurrentTime);
}

void TellDeadEnd(void *, const char *why)
{
    fprintf(stderr, "quillmere: %s\n", why);
}

void PaintSearching(void *, const char *note)
{
    ToFront();
    PaintSearchingX11(session.splash, note);
}

void PaintRound(void *, const Round &round)
{
    ToFront();
    PaintRoundX11(session.splash, round);
}

// The rounds are over: the monitor may sleep, where the server can tell it
// to (DPMS). A key wakes it, and reaches the session as ever. DPMS that was
// off is switched on for this, and off again at the end of the session.
void SleepDisplay()
{
    int event = 0, error = 0;
    if (!DPMSQueryExtension(session.display, &event, &error) || !DPMSCapable(session.display))
        return;
    CARD16 level = 0;
    BOOL enabled = False;
    DPMSInfo(session.display, &level, &enabled);
    if (!enabled) {
        DPMSEnable(session.display);
        session.dpmsSwitchedOn = true;
    }
    DPMSForceLevel(session.display, DPMSModeOff);
}

void PaintDark(void *)
{
    ToFront();
    PaintDarkX11(session.splash);
    XSync(session.display, False);
    SleepDisplay();
}

bool LaunchedRunning(void *)
{
    return LaunchedChildRunning();
}

// Debian's MAME keeps its files under ~/.mame: the emulator starts in the
// user's home folder.
bool Launch(void *, const Round &round)
{
    const char *home = getenv("HOME");
    return LaunchChild(NativeCommandWords(round.command), home && home[0] ? home : "/");
}

int64_t RunTime(void *)
{
    return LaunchedChildRunTime();
}

int ExitCode(void *)
{
    return LaunchedChildExitCode();
}

void AskToClose(void *)
{
    AskLaunchedWindowsToClose(session.display);
}

void EndSession(void *)
{
    session.ending = true;
}

void Pause(void *, int ms)
{
    XFlush(session.display);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void EndLaunched(void *)
{
    EndLaunchedChildren();
}

void LeaveLaunched(void *)
{
    LeaveLaunchedChildren();
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

// The whole screen, above everything, with no window manager's frame: an
// override-redirect window, as screen savers under X are.
Window MakeSessionWindow(Display *display, int screen, int width, int height)
{
    XSetWindowAttributes attributes = {};
    attributes.override_redirect = True;
    attributes.background_pixel = SplashBackgroundPixel(display, screen);
    attributes.event_mask = KeyPressMask | ButtonPressMask | StructureNotifyMask;
    // No pointer over the splash: a blank cursor.
    char blank = 0;
    Pixmap empty = XCreateBitmapFromData(display, RootWindow(display, screen), &blank, 1, 1);
    XColor black = {};
    attributes.cursor = XCreatePixmapCursor(display, empty, empty, &black, &black, 0, 0);
    XFreePixmap(display, empty);
    Window window = XCreateWindow(
        display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(width),
        static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
        CWOverrideRedirect | CWBackPixel | CWEventMask | CWCursor, &attributes);
    XFreeCursor(display, attributes.cursor);
    XStoreName(display, window, "Quillmere");
    XClassHint hint = {const_cast<char *>("quillmere"), const_cast<char *>("Quillmere")};
    XSetClassHint(display, window, &hint);
    long pid = static_cast<long>(getpid());
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<unsigned char *>(&pid), 1);
    XMapRaised(display, window);
    XFlush(display);
    // The keyboard can go to the window only once it is shown.
    XEvent event;
    for (int64_t until = NowMs() + 2000; NowMs() < until;) {
        if (XCheckTypedWindowEvent(display, window, MapNotify, &event))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return window;
}

// The hot keys reach the session whichever window has the keyboard; a key
// another program holds only while the session's window has it.
void GrabHotKeys()
{
    unsigned refused = GrabHotKeysX11(session.display, session.root);
    for (int i = 0; i < kX11HotKeyCount; ++i)
        if (refused & (1u << i))
            fprintf(stderr,
                    "quillmere: another program holds %s, so it reaches the session only "
                    "while no emulator has the keyboard\n",
                    kX11HotKeyNames[i]);
    session.keysMissing = refused != 0;
}

void OnKeyPress(XKeyEvent &event)
{
    KeySym key = XLookupKeysym(&event, 0);
    for (int i = 0; i < kX11HotKeyCount; ++i)
        if (key == kX11HotKeys[i]) {
            CycleHotKey(SessionCycle(), kHotKeyIds[i]);
            return;
        }
    // Any other key ends the session when it reaches the splash.
    if (event.window == session.window)
        session.ending = true;
}

void HandleEvents()
{
    while (!session.ending && XPending(session.display) > 0) {
        XEvent event;
        XNextEvent(session.display, &event);
        if (event.type == KeyPress)
            OnKeyPress(event.xkey);
        else if (event.type == ButtonPress && event.xbutton.window == session.window &&
                 event.xbutton.button <= Button3)
            session.ending = true;   // left, middle or right; not the wheel
        else if (event.type == UnmapNotify && session.keysMissing &&
                 event.xunmap.window != session.window)
            // A window going (the emulator's, most likely) hands the
            // keyboard back to the session, for the keys it could not grab.
            XSetInputFocus(session.display, session.window, RevertToPointerRoot, CurrentTime);
    }
}

void TakeRounds()
{
    char bytes[64];
    bool ready = false;
    while (read(session.roundReady[0], bytes, sizeof bytes) > 0)
        ready = true;
    if (ready && !session.ending)
        SessionRoundReady();
}

// Fires the timers that are due, each once, as Windows sends one timer
// message however late it is.
void FireTimers()
{
    int64_t now = NowMs();
    std::map<int, bool> fired;
    for (;;) {
        if (session.ending)
            return;
        auto next = session.timers.end();
        for (auto it = session.timers.begin(); it != session.timers.end(); ++it)
            if (it->second.due <= now && !fired[it->first] &&
                (next == session.timers.end() || it->second.due < next->second.due))
                next = it;
        if (next == session.timers.end())
            return;
        int id = next->first;
        fired[id] = true;
        next->second.due = now + next->second.period;
        CycleTimer(SessionCycle(), id);
    }
}

// When the emulator's window goes, the keyboard focus goes with it, to no
// window at all while the emulator is still ending (seconds, at times); then
// no key reaches anyone, the hot keys' grabs included. The splash takes the
// keyboard back; it never takes it from a window that has it.
void KeepKeyboardFocus()
{
    Window focus = None;
    int revert = 0;
    XGetInputFocus(session.display, &focus, &revert);
    if (focus == None)
        XSetInputFocus(session.display, session.window, RevertToPointerRoot, CurrentTime);
}

int WaitMs(int childWaitMs)
{
    int64_t wait = childWaitMs >= 0 ? std::min(childWaitMs, kLongestWaitMs) : kLongestWaitMs;
    int64_t now = NowMs();
    for (const auto &timer : session.timers)
        wait = std::min(wait, std::max<int64_t>(timer.second.due - now, 0));
    return static_cast<int>(wait);
}

void EventLoop(int stopFd)
{
    int connection = ConnectionNumber(session.display);
    int childEnded = ChildEndedFd();
    while (!session.ending) {
        HandleEvents();
        TakeRounds();
        // Before the timers: a launch's end is taken the moment it comes,
        // whatever the poll's period.
        int childWaitMs = WatchLaunchedChildren();
        FireTimers();
        if (session.ending)
            break;
        KeepKeyboardFocus();
        XFlush(session.display);
        // Events Xlib has read already would not wake the poll.
        if (XPending(session.display) > 0)
            continue;
        pollfd watched[4] = {{connection, POLLIN, 0},
                             {session.roundReady[0], POLLIN, 0},
                             {childEnded, POLLIN, 0},
                             {stopFd, POLLIN, 0}};
        int count = stopFd >= 0 ? 4 : 3;
        if (poll(watched, static_cast<nfds_t>(count), WaitMs(childWaitMs)) > 0 && count == 4 &&
            (watched[3].revents & (POLLIN | POLLHUP)))
            session.ending = true;
    }
}

bool OpenPipe(int ends[2])
{
    return pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0;
}

}   // namespace

X11SessionEnd RunX11Session(Display *display, int stopFd)
{
    unsigned seed = static_cast<unsigned>(time(nullptr));
    SeedRandom(seed);
    std::string said;
    SessionStartup startup = LoadSessionSettings(&said);
    for (size_t at = 0, end; (end = said.find('\n', at)) != std::string::npos; at = end + 1)
        fprintf(stderr, "quillmere: %s\n", said.substr(at, end - at).c_str());
    switch (startup) {
    case SessionStartup::NoSettings:
        fprintf(stderr, "quillmere: cannot read the settings file %s\n", SettingsFile());
        return X11SessionEnd::NoSettings;
    case SessionStartup::NoEmulator:
        fprintf(stderr, "quillmere: %s\n", kNoEmulatorText);
        return X11SessionEnd::NoEmulator;
    case SessionStartup::Ready:
        break;
    }

    session = X11Session();
    session.display = display;
    int screen = DefaultScreen(display);
    session.root = RootWindow(display, screen);
    int width = DisplayWidth(display, screen), height = DisplayHeight(display, screen);
    if (!OpenPipe(session.roundReady)) {
        fprintf(stderr, "quillmere: cannot make a pipe\n");
        return X11SessionEnd::NoDisplay;
    }
    session.window = MakeSessionWindow(display, screen, width, height);
    if (!OpenSplash(session.splash, display, screen, session.window, width, height)) {
        fprintf(stderr, "quillmere: no font can be opened\n");
        XDestroyWindow(display, session.window);
        close(session.roundReady[0]);
        close(session.roundReady[1]);
        return X11SessionEnd::NoDisplay;
    }
    // The X server's own screen saver goes (it may be what started this
    // session) and stays away until the session ends.
    int saverEvent = 0, saverError = 0;
    session.saverExtension = XScreenSaverQueryExtension(display, &saverEvent, &saverError);
    XResetScreenSaver(display);
    if (session.saverExtension)
        XScreenSaverSuspend(display, True);
    // The hot keys first: once the window has the keyboard, every key works.
    GrabHotKeys();
    XSetInputFocus(display, session.window, RevertToPointerRoot, CurrentTime);
    // Top-level windows that go wake the loop, which then keeps the keyboard.
    XSelectInput(display, session.root, SubstructureNotifyMask);
    StartSession(&kPlatform, NotifyRoundReady, nullptr, seed);

    EventLoop(stopFd);

    UngrabHotKeysX11(display, session.root);
    XSelectInput(display, session.root, NoEventMask);
    XDestroyWindow(display, session.window);
    XFlush(display);
    CycleShutdown(SessionCycle());
    if (session.dpmsSwitchedOn)
        DPMSDisable(display);
    if (session.saverExtension)
        XScreenSaverSuspend(display, False);
    CloseSplash(session.splash);
    XSync(display, True);
    close(session.roundReady[0]);
    close(session.roundReady[1]);
    return X11SessionEnd::Ended;
}
