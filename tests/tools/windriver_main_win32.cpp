// Window driver for end-to-end tests: finds windows, reads and answers
// message boxes, reads and sets control state, and reports on processes.
// Prints results on standard output; exit 0 on success, 1 when the window or
// control was not found in time, 2 on a usage error.
//
//   wait CLASS TITLE MS        wait for a top-level window ("-" for any); print its handle
//   gone CLASS MS              wait until no top-level window of CLASS exists
//   close CLASS                send WM_CLOSE to the first top-level window of CLASS
//   info HWND                  class, title, styles, parent, rectangle, visibility, pid, id, owner
//   children HWND              one "info" line per child window
//   focus HWND                 the id of the control that has the keyboard focus in HWND's thread
//   measure FACE POINTS WEIGHT WIDTH TEXT   "width height" that TEXT needs in that font, drawn
//                              word-wrapped within WIDTH as a label draws it (0: one line)
//   msgbox MS                  wait for a message box; print its handle, caption and text
//   answer HWND [ID]           press a dialog's button (IDOK by default), posted
//   get|set HWND ID [TEXT]     a control's text, in UTF-8
//   click HWND ID              press a button (posted, so a modal box it opens does not block)
//   check HWND ID              a check box's state
//   list HWND ID               a list box's or combo box's lines, one per output line
//   select|selection HWND ID [INDEX]  select a list line (-1: none) / the selected line
//   parent W H SECONDS         make a window to hold a preview; print its handle
//   resources PID              GDI objects, user objects and handles of a process
//   hotkey VK SECONDS          hold key VK as a hot key, as another program may; print "held"
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static HWND ToWindow(const char *text)
{
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(strtoull(text, nullptr, 0)));
}

static unsigned long long Number(HWND window)
{
    return reinterpret_cast<uintptr_t>(window);
}

static BOOL CALLBACK PrintInfo(HWND window, LPARAM)
{
    char className[256] = "", title[1024] = "";
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, title, sizeof title);
    RECT r;
    GetWindowRect(window, &r);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    printf("hwnd=%llu class=%s title=%s style=0x%08lx exstyle=0x%08lx parent=%llu rect=%ld,%ld,%ld,%ld "
           "visible=%d pid=%lu id=%ld owner=%llu\n",
           Number(window), className, title, static_cast<unsigned long>(GetWindowLongA(window, GWL_STYLE)),
           static_cast<unsigned long>(GetWindowLongA(window, GWL_EXSTYLE)), Number(GetParent(window)), r.left,
           r.top, r.right, r.bottom, IsWindowVisible(window) ? 1 : 0, pid, static_cast<long>(GetDlgCtrlID(window)),
           Number(GetWindow(window, GW_OWNER)));
    return TRUE;
}

static std::string Utf8(const wchar_t *wide)
{
    static char text[65536];
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    return text;
}

// A message box: a visible dialog with the static text control 0xFFFF.
static BOOL CALLBACK FindMessageBox(HWND window, LPARAM found)
{
    char className[32];
    if (!IsWindowVisible(window) || !GetClassNameA(window, className, sizeof className) ||
        strcmp(className, "#32770") != 0 || !GetDlgItem(window, 0xFFFF))
        return TRUE;
    *reinterpret_cast<HWND *>(found) = window;
    return FALSE;
}

static LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
}

// Polls seek every 50 ms until it gives true or ms pass.
template <typename Seek> static int Within(const char *ms, Seek seek)
{
    DWORD until = GetTickCount() + strtoul(ms, nullptr, 10);
    do {
        if (seek())
            return 0;
        Sleep(50);
    } while (static_cast<LONG>(GetTickCount() - until) < 0);
    return 1;
}

int main(int argc, char **argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    int wideCount = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &wideCount);
    const std::string command = argc > 1 ? argv[1] : "";
    const char *any = argc > 3 && strcmp(argv[3], "-") != 0 ? argv[3] : nullptr;
    if (command == "wait" && argc == 5)
        return Within(argv[4], [&] {
            HWND window = FindWindowA(strcmp(argv[2], "-") ? argv[2] : nullptr, any);
            return window && printf("%llu\n", Number(window));
        });
    if (command == "gone" && argc == 4)
        return Within(argv[3], [&] { return !FindWindowA(argv[2], nullptr); });
    if (command == "close" && argc == 3)
        return FindWindowA(argv[2], nullptr) ? (SendMessageA(FindWindowA(argv[2], nullptr), WM_CLOSE, 0, 0), 0) : 1;
    if ((command == "info" || command == "children") && argc == 3) {
        HWND window = ToWindow(argv[2]);
        if (!IsWindow(window))
            return 1;
        return command == "info" ? (PrintInfo(window, 0), 0) : (EnumChildWindows(window, PrintInfo, 0), 0);
    }
    if (command == "focus" && argc == 3) {
        GUITHREADINFO thread = {};
        thread.cbSize = sizeof thread;
        DWORD id = GetWindowThreadProcessId(ToWindow(argv[2]), nullptr);
        return id && GetGUIThreadInfo(id, &thread) ? (printf("%d\n", GetDlgCtrlID(thread.hwndFocus)), 0) : 1;
    }
    if (command == "measure" && argc == 7 && wideCount == 7) {   // the font made here as the dialog or splash makes it
        HDC dc = GetDC(nullptr);
        HGDIOBJ previous = SelectObject(dc, CreateFontW(-MulDiv(atoi(argv[3]), GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0,
                                                        atoi(argv[4]), 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, wide[2]));
        RECT needed = {0, 0, atoi(argv[5]), 0};
        UINT lines = needed.right ? DT_WORDBREAK | DT_EXPANDTABS : DT_SINGLELINE | DT_NOPREFIX;
        DrawTextW(dc, wide[6], -1, &needed, DT_CALCRECT | lines);
        DeleteObject(SelectObject(dc, previous));
        ReleaseDC(nullptr, dc);
        return printf("%ld %ld\n", needed.right, needed.bottom) > 0 ? 0 : 1;
    }
    if (command == "msgbox" && argc == 3)
        return Within(argv[2], [] {
            HWND box = nullptr;
            EnumWindows(FindMessageBox, reinterpret_cast<LPARAM>(&box));
            char caption[1024] = "", text[4096] = "";
            GetWindowTextA(box, caption, sizeof caption);
            GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
            return box && printf("hwnd=%llu\ncaption=%s\ntext=%s\n", Number(box), caption, text);
        });
    if (command == "answer" && (argc == 3 || argc == 4)) {
        HWND window = ToWindow(argv[2]);
        int id = argc == 4 ? atoi(argv[3]) : IDOK;
        return IsWindow(window) ? !PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                                               reinterpret_cast<LPARAM>(GetDlgItem(window, id)))
                                : 1;
    }
    if (argc >= 4 && (command == "get" || command == "set" || command == "click" || command == "check" ||
                      command == "list" || command == "select" || command == "selection")) {
        HWND control = GetDlgItem(ToWindow(argv[2]), atoi(argv[3]));
        static wchar_t box[32768];
        if (!control)
            return 1;
        if (command == "get")
            printf("%s\n", SendMessageW(control, WM_GETTEXT, 32768, reinterpret_cast<LPARAM>(box)) >= 0 ? Utf8(box).c_str() : "");
        else if (command == "set" && argc == 5 && wideCount == 5)
            SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide[4]));
        else if (command == "click")
            PostMessageA(control, BM_CLICK, 0, 0);
        else if (command == "check" || command == "selection")
            printf("%ld\n", static_cast<long>(SendMessageA(control, command == "check" ? BM_GETCHECK : LB_GETCURSEL, 0, 0)));
        else if (command == "select" && argc == 5)
            SendMessageA(control, LB_SETCURSEL, atoi(argv[4]), 0);
        else if (command != "list")
            return 2;
        // Wine answers LB_GETTEXT across processes in UTF-16 whatever was asked, so ask for UTF-16.
        // A combo box's list answers the same questions under other names.
        wchar_t className[32] = L"";
        GetClassNameW(control, className, 32);
        bool combo = lstrcmpiW(className, L"ComboBox") == 0;
        for (LRESULT i = 0; command == "list" && i < SendMessageW(control, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0); ++i) {
            wchar_t line[2048] = L"";
            SendMessageW(control, combo ? CB_GETLBTEXT : LB_GETTEXT, i, reinterpret_cast<LPARAM>(line));
            printf("%s\n", Utf8(line).c_str());
        }
        return 0;
    }
    if (command == "parent" && argc == 5) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = ParentProc;
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        windowClass.lpszClassName = "PreviewParent";
        RegisterClassA(&windowClass);
        HWND window = CreateWindowExA(0, "PreviewParent", "Preview parent", WS_POPUP | WS_VISIBLE, 50, 50,
                                      atoi(argv[2]), atoi(argv[3]), nullptr, nullptr, nullptr, nullptr);
        if (!window)
            return 1;
        printf("%llu\n", Number(window));
        // A stand-in parent destroys its window itself: Wine would not destroy
        // the preview's child window of another process.
        SetTimer(window, 1, strtoul(argv[4], nullptr, 10) * 1000, nullptr);
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            if (message.message == WM_TIMER && message.hwnd == window)
                DestroyWindow(window);
            DispatchMessageA(&message);
        }
        return 0;
    }
    if (command == "hotkey" && argc == 4 && RegisterHotKey(nullptr, 1, 0, strtoul(argv[2], nullptr, 0)))
        return printf("held\n"), Sleep(strtoul(argv[3], nullptr, 10) * 1000), 0;
    if (command == "resources" && argc == 3) {
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, strtoul(argv[2], nullptr, 10));
        DWORD handles = 0;
        if (!process)
            return 1;
        GetProcessHandleCount(process, &handles);
        printf("gdi=%lu user=%lu handles=%lu\n", GetGuiResources(process, GR_GDIOBJECTS),
               GetGuiResources(process, GR_USEROBJECTS), handles);
        return CloseHandle(process) ? 0 : 1;
    }
    return 2;
}
