#include "saver/presence_x11.h"

#include <X11/Xutil.h>
#include <strings.h>

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

// Calls found for each emulator window under parent; stops early when it
// returns false. Windows may vanish meanwhile: the session's error handler
// lets the failed requests pass.
template <typename Found>
bool ForEachEmulatorWindow(Display *display, Window parent, int depth, Found found)
{
    Window root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root, &up, &children, &count))
        return true;
    bool goOn = true;
    for (unsigned i = 0; i < count && goOn; ++i) {
        if (IsEmulatorWindow(display, children[i]))
            goOn = found(children[i]);
        else if (depth > 1 && !HasClass(display, children[i]))
            goOn = ForEachEmulatorWindow(display, children[i], depth - 1, found);
    }
    if (children)
        XFree(children);
    return goOn;
}

}   // namespace

bool EmulatorWindowExists(Display *display)
{
    bool exists = false;
    ForEachEmulatorWindow(display, DefaultRootWindow(display), kFrameDepth, [&](Window) {
        exists = true;
        return false;
    });
    return exists;
}

void AskEmulatorWindowsToClose(Display *display)
{
    Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    ForEachEmulatorWindow(display, DefaultRootWindow(display), kFrameDepth, [&](Window window) {
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
