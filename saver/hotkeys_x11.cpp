#include "saver/hotkeys_x11.h"

#include <X11/Xproto.h>
#include <X11/keysym.h>

const KeySym kX11HotKeys[kX11HotKeyCount] = {XK_Escape, XK_Pause, XK_BackSpace};
const char *const kX11HotKeyNames[kX11HotKeyCount] = {"Escape", "Pause", "BackSpace"};

namespace {

const unsigned kModifiers[] = {0, LockMask, Mod2Mask, LockMask | Mod2Mask};

bool grabRefused = false;

// The server answers a grab that another client holds with BadAccess, later
// and through the error handler only.
int NoteRefusedGrab(Display *, XErrorEvent *error)
{
    if (error->error_code == BadAccess && error->request_code == X_GrabKey)
        grabRefused = true;
    return 0;
}

}   // namespace

unsigned GrabHotKeysX11(Display *display, Window root)
{
    XSync(display, False);   // earlier errors go to the handler they were meant for
    XErrorHandler previous = XSetErrorHandler(NoteRefusedGrab);
    unsigned refused = 0;
    for (int i = 0; i < kX11HotKeyCount; ++i) {
        KeyCode code = XKeysymToKeycode(display, kX11HotKeys[i]);
        if (!code) {
            refused |= 1u << i;
            continue;
        }
        grabRefused = false;
        for (unsigned modifiers : kModifiers)
            XGrabKey(display, code, modifiers, root, True, GrabModeAsync, GrabModeAsync);
        XSync(display, False);
        if (grabRefused)
            refused |= 1u << i;
    }
    XSetErrorHandler(previous);
    return refused;
}

void UngrabHotKeysX11(Display *display, Window root)
{
    for (KeySym key : kX11HotKeys) {
        KeyCode code = XKeysymToKeycode(display, key);
        if (code)
            for (unsigned modifiers : kModifiers)
                XUngrabKey(display, code, modifiers, root);
    }
}

unsigned HotKeysHeldElsewhere(Display *display)
{
    Window root = DefaultRootWindow(display);
    unsigned refused = GrabHotKeysX11(display, root);
    UngrabHotKeysX11(display, root);
    XSync(display, False);
    return refused;
}
