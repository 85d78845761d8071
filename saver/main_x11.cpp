// quillmere: the screen saver on an X display, driving the emulators of the
// settings file, with the same run cycle as the Windows screen saver.
//   quillmere run [--settings FILE]                    a session now
//   quillmere idle [--after SECONDS] [--settings FILE] a session whenever
//                                                      the X server's own
//                                                      screen saver comes on
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cerrno>
#include <cstring>

#include "config/settings_file.h"
#include "resources/resource.h"
#include "saver/presence_posix.h"
#include "saver/session_x11.h"

namespace {

// The server keeps its screen-saver timeout in 16 signed bits.
const long kLongestIdleSeconds = 32767;
// How often a game left running is looked for while no session runs.
const int kLeftGameCheckMs = 1000;
// A display that refuses the connection is tried this often, this long apart.
const int kDisplayTries = 20;
const int kDisplayRetryMs = 100;

int stopPipe[2] = {-1, -1};
volatile sig_atomic_t stopRequested = 0;

void OnStopSignal(int)
{
    stopRequested = 1;
    char byte = 's';
    ssize_t written = write(stopPipe[1], &byte, 1);
    (void)written;
}

// Requests on windows that vanish meanwhile (an emulator closing while it is
// asked to close) fail; nothing of the session depends on them.
int IgnoreXError(Display *, XErrorEvent *)
{
    return 0;
}

// On standard error after a bad command line (exit 2), on standard output
// when asked for with --help (exit 0).
int Usage(FILE *to = stderr)
{
    fprintf(to, "usage: quillmere run [--settings FILE]\n"
                "       quillmere idle [--after SECONDS] [--settings FILE]\n"
                "       quillmere --help | --version\n"
                "The settings file defaults to $XDG_CONFIG_HOME/quillmere/settings\n"
                "(~/.config/quillmere/settings); man quillmere tells the rest.\n");
    return to == stderr ? 2 : 0;
}

bool CatchStopSignals()
{
    if (pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
    return true;
}

// A session each time the X server's own screen saver comes on: after its
// timeout (xset s, or --after) or when it is activated (xset s activate). A
// client that suspends the server's saver (a video player) holds the
// sessions off as it holds off the server's blanking. While a game left
// running by Backspace still runs, the server's saver is left to itself.
int RunWhenIdle(Display *display, long afterSeconds)
{
    int saverEvent = 0, saverError = 0;
    if (!XScreenSaverQueryExtension(display, &saverEvent, &saverError)) {
        fprintf(stderr, "quillmere: the X server has no MIT-SCREEN-SAVER extension, "
                        "so it cannot tell when to start\n");
        return 1;
    }
    int timeout = 0, interval = 0, blanking = 0, exposures = 0;
    XGetScreenSaver(display, &timeout, &interval, &blanking, &exposures);
    if (afterSeconds > 0)
        XSetScreenSaver(display, static_cast<int>(afterSeconds), interval, blanking, exposures);
    else if (timeout == 0)
        fprintf(stderr, "quillmere: the X server's screen saver is off (xset s off): a session "
                        "starts only when it is activated (xset s activate)\n");
    Window root = DefaultRootWindow(display);
    XScreenSaverSelectInput(display, root, ScreenSaverNotifyMask);
    XFlush(display);
    int childEnded = ChildEndedFd();
    while (!stopRequested) {
        bool saverOn = false;
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == saverEvent + ScreenSaverNotify)
                saverOn = reinterpret_cast<XScreenSaverNotifyEvent &>(event).state == ScreenSaverOn;
        }
        WatchLaunchedChildren();
        bool gameLeft = ReapLeftChildren();
        if (saverOn && !gameLeft) {
            // A session that cannot start leaves the server's saver on: the
            // next try comes after the user has been back.
            RunX11Session(display, stopPipe[0]);
            continue;
        }
        pollfd watched[3] = {{ConnectionNumber(display), POLLIN, 0},
                             {stopPipe[0], POLLIN, 0},
                             {childEnded, POLLIN, 0}};
        poll(watched, childEnded >= 0 ? 3 : 2, gameLeft ? kLeftGameCheckMs : -1);
    }
    XScreenSaverSelectInput(display, root, 0);
    return 0;
}

}   // namespace

#if defined(__SANITIZE_ADDRESS__)
// Under the test build's leak checker: fontconfig keeps a few bytes of the
// configuration it parses for the life of the process, out of our reach.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
extern "C" const char *__lsan_default_options()
{
    return "print_suppressions=0";
}
#endif

int main(int argc, char **argv)
{
    if (argc < 2)
        return Usage();
    if (argc == 2 && strcmp(argv[1], "--help") == 0)
        return Usage(stdout);
    if (argc == 2 && strcmp(argv[1], "--version") == 0) {
        printf("quillmere %s\n", QUILLMERE_VERSION_TEXT);
        return 0;
    }
    bool idle = strcmp(argv[1], "idle") == 0;
    if (!idle && strcmp(argv[1], "run") != 0)
        return Usage();
    const char *settings = nullptr;
    long idleSeconds = 0;
    for (int at = 2; at < argc; at += 2) {
        if (at + 1 >= argc)
            return Usage();
        if (strcmp(argv[at], "--settings") == 0) {
            settings = argv[at + 1];
        } else if (idle && strcmp(argv[at], "--after") == 0) {
            char *end = nullptr;
            idleSeconds = strtol(argv[at + 1], &end, 10);
            if (end == argv[at + 1] || *end || idleSeconds < 1 || idleSeconds > kLongestIdleSeconds)
                return Usage();
        } else {
            return Usage();
        }
    }
    if (!SetSettingsFile(settings)) {
        fprintf(stderr, "quillmere: the settings file's name is too long\n");
        return 2;
    }
    if (!CatchStopSignals()) {
        fprintf(stderr, "quillmere: cannot make a pipe\n");
        return 1;
    }
    // A display that is starting up, or resetting after its last client
    // left, refuses connections for a moment: it is tried for a while.
    Display *display = nullptr;
    int error = 0;
    for (int tries = 0; !display && tries < kDisplayTries && !stopRequested; ++tries) {
        if (tries > 0) {
            pollfd stop = {stopPipe[0], POLLIN, 0};
            poll(&stop, 1, kDisplayRetryMs);
        }
        errno = 0;
        display = XOpenDisplay(nullptr);
        error = errno;
    }
    if (!display) {
        const char *name = XDisplayName(nullptr);
        fprintf(stderr, "quillmere: cannot open the X display %s%s%s\n",
                name[0] ? name : "(DISPLAY is not set)", error ? ": " : "",
                error ? strerror(error) : "");
        return 1;
    }
    XSetErrorHandler(IgnoreXError);
    // The emulators started from here have no use for the X connection.
    fcntl(ConnectionNumber(display), F_SETFD, FD_CLOEXEC);

    int status;
    if (idle)
        status = RunWhenIdle(display, idleSeconds);
    else
        status = RunX11Session(display, stopPipe[0]) == X11SessionEnd::Ended ? 0 : 1;
    XCloseDisplay(display);
    return status;
}
