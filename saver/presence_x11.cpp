#include "saver/presence_x11.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <strings.h>

#include "saver/presence_posix.h"

namespace {

// A window manager puts each top-level window into a frame of its own, so
// the application's window may lie a few levels below the root.
const int kFrameDepth = 3;

bool IsEmulatorWindow(Display *display, Window window)
{
    XClassHint hint = {nullptr, nullptr};
    if (!XGetClassHint(display, window, &hint))
        return false;
    bool emulator = hint.res_class && strcasecmp(hint.res_class, "mame") == 0;
    if (hint.res_name)
        XFree(hint.res_name);
    if (hint.res_class)
        XFree(hint.res_class);
    return emulator;
}

bool HasClass(Display *display, Window window)
{
    XClassHint hint = {nullptr, nullptr};
    if (!XGetClassHint(display, window, &hint))
        return false;
    if (hint.res_name)
        XFree(hint.res_name);
    if (hint.res_class)
        XFree(hint.res_class);
    return true;
}

// The process that says it owns window (_NET_WM_PID); 0 when none says so.
pid_t WindowProcess(Display *display, Window window, Atom pidAtom)
{
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char *data = nullptr;
    pid_t pid = 0;
    if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format,
                           &items, &after, &data) == Success &&
        type == XA_CARDINAL && format == 32 && items == 1)
        pid = static_cast<pid_t>(*reinterpret_cast<const long *>(data));   // 32-bit items come as longs
    if (data)
        XFree(data);
    return pid;
}

// Calls found for each window under parent that pick takes; stops early when
// found returns false. Windows may vanish meanwhile: the session's error
// handler lets the failed requests pass.
template <typename Pick, typename Found>
bool ForEachWindow(Display *display, Window parent, int depth, Pick pick, Found found)
{
    Window root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root, &up, &children, &count))
        return true;
    bool goOn = true;
    for (unsigned i = 0; i < count && goOn; ++i) {
        if (pick(children[i]))
            goOn = found(children[i]);
        else if (depth > 1 && !HasClass(display, children[i]))
            goOn = ForEachWindow(display, children[i], depth - 1, pick, found);
    }
    if (children)
        XFree(children);
    return goOn;
}

}   // namespace

bool EmulatorWindowExists(Display *display)
{
    bool exists = false;
    ForEachWindow(
        display, DefaultRootWindow(display), kFrameDepth,
        [&](Window window) { return IsEmulatorWindow(display, window); },
        [&](Window) {
            exists = true;
            return false;
        });
    return exists;
}

void AskLaunchedWindowsToClose(Display *display)
{
    Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    auto launched = [&](Window window) {
        pid_t pid = WindowProcess(display, window, pidAtom);
        return pid > 0 && IsLaunchedProcess(pid);
    };
    ForEachWindow(display, DefaultRootWindow(display), kFrameDepth, launched, [&](Window window) {
        XEvent event = {};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = protocols;
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(deleteWindow);
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &event);
        return true;
    });
    XFlush(display);
}
