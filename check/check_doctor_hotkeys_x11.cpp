// The doctor on the session's hot keys under X11: each is grabbed on the
// root window as a session grabs it, and let go at once.
#include <X11/Xlib.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "check/doctor.h"
#include "saver/hotkeys_x11.h"

namespace doctor {

namespace {

// A grab another program holds fails with BadAccess; the grab's own check
// reports it, so the default handler (which would end the process) stays out.
int IgnoreXError(Display *, XErrorEvent *)
{
    return 0;
}

}   // namespace

void CheckHotKeys()
{
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        const char *name = getenv("DISPLAY");
        Say(Level::Warn, "hot keys",
            Text("The X display %s cannot be opened, so the keys could not be checked; run the "
                 "doctor in your desktop session.",
                 name && name[0] ? name : "(DISPLAY is not set)"));
        return;
    }
    XErrorHandler previous = XSetErrorHandler(IgnoreXError);
    unsigned held = HotKeysHeldElsewhere(display);
    XSetErrorHandler(previous);
    XCloseDisplay(display);
    std::vector<std::string> names;
    for (int i = 0; i < kX11HotKeyCount; ++i)
        if (held & (1u << i))
            names.push_back(kX11HotKeyNames[i]);
    SayHeldKeys(names, "a window manager's shortcut, say");
}

}   // namespace doctor
