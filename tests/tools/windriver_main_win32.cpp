// Window driver for end-to-end tests: finds windows, reads and answers
// message boxes, reads and sets control state, and reports on processes.
// Prints results on standard output; exit 0 on success, 1 when the window or
// control was not found in time, 2 on a usage error.
//
//   wait CLASS TITLE MS        wait for a top-level window ("-" for any); print its handle
//   gone CLASS MS              wait until no top-level window of CLASS exists
//   info HWND                  class, title, styles, parent, rectangle, visibility, pid
//   children HWND              one "info" line per child window
//   msgbox MS                  wait for a message box; print caption and text
//   answer HWND [ID]           press a dialog's button (IDOK by default), posted
//   get HWND ID                a control's text
//   set HWND ID TEXT           set a control's text
//   click HWND ID              press a button (posted, so a modal box it opens does not block)
//   check HWND ID              a check box's state
//   list HWND ID               a list box's lines, one per output line
//   select HWND ID INDEX       select a list line (-1: none)
//   selection HWND ID          the selected list line's index
//   send HWND MSG WPARAM LPARAM  SendMessage, prints the result
//   close CLASS                send WM_CLOSE to the first window of CLASS
//   parent W H SECONDS         make a window to hold a preview; print its handle
//   resources PID              GDI objects, user objects and handles of a process
//   modules                    every process id with its first module's base name
#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static HWND ToWindow(const char *text)
{
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(strtoull(text, nullptr, 0)));
}

static const char *OrNull(const char *text)
{
    return strcmp(text, "-") == 0 ? nullptr : text;
}

static void PrintInfo(HWND window)
{
    char className[256] = "", title[1024] = "";
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, title, sizeof title);
    RECT r;
    GetWindowRect(window, &r);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    printf("hwnd=%llu class=%s title=%s style=0x%08lx exstyle=0x%08lx parent=%llu "
           "rect=%ld,%ld,%ld,%ld visible=%d pid=%lu id=%ld\n",
           static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)), className,
           title, static_cast<unsigned long>(GetWindowLongA(window, GWL_STYLE)),
           static_cast<unsigned long>(GetWindowLongA(window, GWL_EXSTYLE)),
           static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(GetParent(window))),
           r.left, r.top, r.right, r.bottom, IsWindowVisible(window) ? 1 : 0,
           static_cast<unsigned long>(pid), static_cast<long>(GetDlgCtrlID(window)));
}

static BOOL CALLBACK PrintChild(HWND window, LPARAM)
{
    PrintInfo(window);
    return TRUE;
}

struct BoxSearch {
    HWND found;
};

static BOOL CALLBACK FindMessageBox(HWND window, LPARAM data)
{
    char className[32];
    if (!IsWindowVisible(window) || !GetClassNameA(window, className, sizeof className) ||
        strcmp(className, "#32770") != 0 || !GetDlgItem(window, 0xFFFF))
        return TRUE;
    reinterpret_cast<BoxSearch *>(data)->found = window;
    return FALSE;
}

static LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int main(int argc, char **argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc < 2)
        return 2;
    std::string command = argv[1];

    if (command == "wait" && argc == 5) {
        DWORD until = GetTickCount() + strtoul(argv[4], nullptr, 10);
        do {
            HWND window = FindWindowA(OrNull(argv[2]), OrNull(argv[3]));
            if (window) {
                printf("%llu\n", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
                return 0;
            }
            Sleep(50);
        } while (static_cast<LONG>(GetTickCount() - until) < 0);
        return 1;
    }
    if (command == "gone" && argc == 4) {
        DWORD until = GetTickCount() + strtoul(argv[3], nullptr, 10);
        do {
            if (!FindWindowA(argv[2], nullptr))
                return 0;
            Sleep(50);
        } while (static_cast<LONG>(GetTickCount() - until) < 0);
        return 1;
    }
    if (command == "info" && argc == 3) {
        HWND window = ToWindow(argv[2]);
        if (!IsWindow(window))
            return 1;
        PrintInfo(window);
        return 0;
    }
    if (command == "children" && argc == 3) {
        HWND window = ToWindow(argv[2]);
        if (!IsWindow(window))
            return 1;
        EnumChildWindows(window, PrintChild, 0);
        return 0;
    }
    if (command == "msgbox" && argc == 3) {
        DWORD until = GetTickCount() + strtoul(argv[2], nullptr, 10);
        do {
            BoxSearch search{nullptr};
            EnumWindows(FindMessageBox, reinterpret_cast<LPARAM>(&search));
            if (search.found) {
                char caption[1024] = "", text[4096] = "";
                GetWindowTextA(search.found, caption, sizeof caption);
                GetDlgItemTextA(search.found, 0xFFFF, text, sizeof text);
                printf("hwnd=%llu\ncaption=%s\ntext=%s\n",
                       static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(search.found)),
                       caption, text);
                return 0;
            }
            Sleep(50);
        } while (static_cast<LONG>(GetTickCount() - until) < 0);
        return 1;
    }
    if (command == "answer" && (argc == 3 || argc == 4)) {
        HWND window = ToWindow(argv[2]);
        int id = argc == 4 ? atoi(argv[3]) : IDOK;
        if (!IsWindow(window))
            return 1;
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
        return 0;
    }
    if (argc >= 4 && (command == "get" || command == "set" || command == "click" ||
                      command == "check" || command == "list" || command == "select" ||
                      command == "selection")) {
        HWND control = GetDlgItem(ToWindow(argv[2]), atoi(argv[3]));
        if (!control)
            return 1;
        if (command == "get") {
            static char text[65536];
            SendMessageA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
            printf("%s\n", text);
        } else if (command == "set" && argc == 5) {
            SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4]));
        } else if (command == "click") {
            PostMessageA(control, BM_CLICK, 0, 0);
        } else if (command == "check") {
            printf("%ld\n", static_cast<long>(SendMessageA(control, BM_GETCHECK, 0, 0)));
        } else if (command == "list") {
            // Wine answers LB_GETTEXT across processes in UTF-16 whatever was
            // asked, so ask for UTF-16.
            LRESULT count = SendMessageW(control, LB_GETCOUNT, 0, 0);
            for (LRESULT i = 0; i < count; ++i) {
                wchar_t wide[2048] = L"";
                SendMessageW(control, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wide));
                char narrow[4096] = "";
                WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
                printf("%s\n", narrow);
            }
        } else if (command == "select" && argc == 5) {
            SendMessageA(control, LB_SETCURSEL, atoi(argv[4]), 0);
        } else if (command == "selection") {
            printf("%ld\n", static_cast<long>(SendMessageA(control, LB_GETCURSEL, 0, 0)));
        } else {
            return 2;
        }
        return 0;
    }
    if (command == "send" && argc == 6) {
        LRESULT result = SendMessageA(ToWindow(argv[2]), strtoul(argv[3], nullptr, 0),
                                      strtoull(argv[4], nullptr, 0), strtoll(argv[5], nullptr, 0));
        printf("%lld\n", static_cast<long long>(result));
        return 0;
    }
    if (command == "close" && argc == 3) {
        HWND window = FindWindowA(argv[2], nullptr);
        if (!window)
            return 1;
        SendMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    }
    if (command == "parent" && argc == 5) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = ParentProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        windowClass.lpszClassName = "PreviewParent";
        RegisterClassA(&windowClass);
        HWND window = CreateWindowExA(0, "PreviewParent", "Preview parent",
                                      WS_POPUP | WS_VISIBLE, 50, 50, atoi(argv[2]),
                                      atoi(argv[3]), nullptr, nullptr,
                                      windowClass.hInstance, nullptr);
        if (!window)
            return 1;
        printf("%llu\n", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
        SetTimer(window, 1, strtoul(argv[4], nullptr, 10) * 1000, nullptr);
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            if (message.message == WM_TIMER && message.hwnd == window)
                DestroyWindow(window);
            DispatchMessageA(&message);
        }
        return 0;
    }
    if (command == "resources" && argc == 3) {
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, strtoul(argv[2], nullptr, 10));
        if (!process)
            return 1;
        DWORD handles = 0;
        GetProcessHandleCount(process, &handles);
        printf("gdi=%lu user=%lu handles=%lu\n",
               static_cast<unsigned long>(GetGuiResources(process, GR_GDIOBJECTS)),
               static_cast<unsigned long>(GetGuiResources(process, GR_USEROBJECTS)),
               static_cast<unsigned long>(handles));
        CloseHandle(process);
        return 0;
    }
    if (command == "modules" && argc == 2) {
        DWORD ids[4096], bytes = 0;
        if (!EnumProcesses(ids, sizeof ids, &bytes))
            return 1;
        for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
            char name[MAX_PATH] = "<unknown>";
            HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, ids[i]);
            if (process) {
                HMODULE module;
                DWORD needed;
                if (EnumProcessModules(process, &module, sizeof module, &needed))
                    GetModuleBaseNameA(process, module, name, sizeof name);
                CloseHandle(process);
            }
            printf("%lu %s\n", static_cast<unsigned long>(ids[i]), name);
        }
        return 0;
    }
    return 2;
}
