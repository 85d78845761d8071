#include "saver/host.h"

#include "saver/modes.h"

HINSTANCE hMainInstance;
HWND hMainWindow;
BOOL fChildPreview;

static const char kWindowClass[] = "WindowsScreenSaverClass";

LRESULT WINAPI DefScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!fChildPreview) {
        switch (message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            PostMessageA(window, WM_CLOSE, 0, 0);
            return 0;
        case WM_SETCURSOR:
            SetCursor(nullptr);
            return TRUE;
        default:
            break;
        }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Sees every message before ScreenSaverProc.
static LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        hMainWindow = window;
        if (!fChildPreview)
            SetCursor(nullptr);
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        break;
    case WM_SYSCOMMAND:
        if (!fChildPreview) {
            // A screen saver must not be closed, replaced or switched away
            // from by the system menu's commands; monitor power still works.
            switch (wParam & 0xFFF0) {
            case SC_CLOSE:
            case SC_SCREENSAVE:
            case SC_NEXTWINDOW:
            case SC_PREVWINDOW:
            case SC_TASKLIST:
            case SC_KEYMENU:
                return FALSE;
            default:
                break;
            }
        }
        break;
    default:
        break;
    }
    return ScreenSaverProc(window, message, wParam, lParam);
}

// The dialog manager wants a pointer-sized result; the program answers BOOL.
static INT_PTR CALLBACK ConfigureDialogProc(HWND dialog, UINT message, WPARAM wParam,
                                            LPARAM lParam)
{
    return ScreenSaverConfigureDialog(dialog, message, wParam, lParam);
}

static bool RegisterClasses(HINSTANCE instance)
{
    if (!RegisterDialogClasses(instance)) {
        MessageBoxA(nullptr, "RegisterClasses() failed", nullptr, MB_ICONERROR | MB_OK);
        return false;
    }
    return true;
}

static int RunWindow(HINSTANCE instance, HWND parent)
{
    WNDCLASSA windowClass = {};
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = HostWindowProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassA(&windowClass))
        return 0;

    HWND window;
    if (parent) {
        RECT area;
        if (!GetClientRect(parent, &area))
            return 0;
        fChildPreview = TRUE;
        window = CreateWindowExA(0, kWindowClass, "Preview", WS_CHILD | WS_VISIBLE,
                                 0, 0, area.right, area.bottom, parent, nullptr,
                                 instance, nullptr);
    } else {
        fChildPreview = FALSE;
        // Every monitor is covered; the splash itself stays on the primary one.
        window = CreateWindowExA(WS_EX_TOPMOST, kWindowClass, "SCREENSAVER",
                                 WS_POPUP | WS_VISIBLE, GetSystemMetrics(SM_XVIRTUALSCREEN),
                                 GetSystemMetrics(SM_YVIRTUALSCREEN),
                                 GetSystemMetrics(SM_CXVIRTUALSCREEN),
                                 GetSystemMetrics(SM_CYVIRTUALSCREEN), nullptr, nullptr,
                                 instance, nullptr);
    }
    // A window refused in WM_CREATE has already been destroyed.
    if (!window)
        return 0;
    if (!parent)
        SetForegroundWindow(window);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

int RunScreenSaverHost(HINSTANCE instance, const char *commandLine)
{
    hMainInstance = instance;
    SaverCommand command = ParseSaverCommandLine(commandLine);
    switch (command.mode) {
    case SaverMode::Configure: {
        if (!RegisterClasses(instance))
            return 0;
        // The display settings name their window after /c:; without one the
        // dialog belongs to whatever window is in front.
        HWND owner = reinterpret_cast<HWND>(command.parent);
        if (!owner || !IsWindow(owner))
            owner = GetForegroundWindow();
        DialogBoxParamA(instance, MAKEINTRESOURCEA(kConfigureDialogTemplate), owner,
                        ConfigureDialogProc, 0);
        return 0;
    }
    case SaverMode::Password:
        // Only old Windows versions asked a screen saver to change passwords.
        return 0;
    case SaverMode::Preview:
        if (!command.parent || !IsWindow(reinterpret_cast<HWND>(command.parent)))
            return 0;
        if (!RegisterClasses(instance))
            return 0;
        return RunWindow(instance, reinterpret_cast<HWND>(command.parent));
    case SaverMode::Run:
        if (!RegisterClasses(instance))
            return 0;
        return RunWindow(instance, nullptr);
    }
    return 0;
}
