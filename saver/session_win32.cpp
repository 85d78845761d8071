#include <ctime>

#include "base/files.h"
#include "base/format.h"
#include "base/random.h"
#include "config/settings.h"
#include "saver/host.h"
#include "saver/presence.h"
#include "saver/runcycle.h"
#include "saver/splash.h"

// While 1, destroying the session window closes the running emulator; only
// the Backspace hot key sets it to 0.
int Kill_emu_on_exit = 1;

enum HotKey { kHotKeyEscape = 1, kHotKeyPause = 2, kHotKeyBackspace = 3 };

// How long shutdown waits for the emulator to close before ending it.
static const DWORD kShutdownWaitMs = 10000;

// A synchronous close request that cannot hang the saver on a hung emulator:
// it waits while the emulator handles it, but gives up on one that is hung.
void CloseEmulatorWindow(HWND emulator)
{
    DWORD_PTR ignored;
    SendMessageTimeoutA(emulator, WM_CLOSE, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, 5000,
                        &ignored);
}

// Empties folder (this session only) when folder\exe cannot be opened.
static void SwitchOffUnusable(char *folder, const char *exe)
{
    char path[kTextSetting];
    if (!FormatText(path, sizeof path, "%s\\%s", folder, exe) || !FileCanBeOpened(path))
        folder[0] = '\0';
}

static LRESULT OnCreate(HWND window)
{
    SeedRandom(static_cast<unsigned>(time(nullptr)));
    if (fChildPreview)
        return 0;
    if (ReadConfigurationInRegistry() == -1) {
        MessageBoxA(window, "Error while reading configuration from registry", "Registry error",
                    MB_ICONERROR | MB_OK);
        return -1;
    }
    SwitchOffUnusable(MessPath, MessExe);
    SwitchOffUnusable(MamePath, MameExe);
    if (!MessPath[0] && !MamePath[0]) {
        MessageBoxA(window, "Please configure Quillmere with at least one of MESS or MAME binary",
                    "Binary not found", MB_ICONERROR | MB_OK);
        return -1;
    }
    SetTimer(window, kTimerPoll, static_cast<UINT>(TimerPoll), nullptr);
    RegisterHotKey(window, kHotKeyEscape, 0, VK_ESCAPE);
    RegisterHotKey(window, kHotKeyBackspace, 0, VK_BACK);
    RegisterHotKey(window, kHotKeyPause, 0, VK_PAUSE);
    return 0;
}

static LRESULT OnEraseBackground(HWND window)
{
    HDC dc = GetDC(window);
    RECT client;
    GetClientRect(window, &client);
    HBRUSH brush = CreateSolidBrush(kBackgroundColour);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    ReleaseDC(window, dc);
    return 1;
}

static LRESULT OnPreviewPaint(HWND window)
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

static void OnHotKey(HWND window, WPARAM id)
{
    switch (id) {
    case kHotKeyEscape:
        DestroyWindow(window);
        PostQuitMessage(1);
        break;
    case kHotKeyPause:
        if (HWND emulator = FindWindowA("MAME", nullptr))
            CloseEmulatorWindow(emulator);
        break;
    case kHotKeyBackspace:
        Kill_emu_on_exit = 0;
        DestroyWindow(window);
        PostQuitMessage(1);
        break;
    default:
        break;
    }
}

static void OnDestroy(HWND window)
{
    for (UINT_PTR timer = kTimerPoll; timer <= kTimerStarting; ++timer)
        KillTimer(window, timer);
    if (!Kill_emu_on_exit)
        return;
    // Ask the emulator to close and wait for it, but never for ever: one
    // that ignores the request or hangs is ended after the wait.
    DWORD start = GetTickCount();
    while (EmulatorPresent()) {
        if (GetTickCount() - start >= kShutdownWaitMs) {
            EndEmulatorProcesses();
            break;
        }
        if (HWND emulator = FindWindowA("MAME", nullptr))
            CloseEmulatorWindow(emulator);
        Sleep(100);
    }
}

LRESULT WINAPI ScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate(window);
    case WM_TIMER:
        if (!fChildPreview)
            RunCycleTimer(window, wParam);
        return 0;
    case WM_ERASEBKGND:
        if (fChildPreview)
            break;
        return OnEraseBackground(window);
    case WM_PAINT:
        if (!fChildPreview)
            break;
        return OnPreviewPaint(window);
    case WM_HOTKEY:
        if (!fChildPreview)
            OnHotKey(window, wParam);
        break;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        OnDestroy(window);
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
