// Stand-in emulator: meets the emulator contract so the saver can be run and
// tested without a real MAME.
//
//   fakemame -listxml NAME   logs "listxml<TAB>NAME" and prints reports\NAME.xml (beside it)
//                            to standard output; an unknown NAME prints the
//                            emulator's "No matching machines found" line on
//                            standard error and exits 5.
//   fakemame -rompath F -verifyroms NAME   logs "verifyroms<TAB>NAME" and answers as
//                            MAME 0.251 does: exit code 0 for a NAME it has a report of,
//                            5 for any other
//   fakemame anything else   appends "start<TAB>pid<TAB>current folder<TAB>
//                            command line" to fakemame.log beside it (the line as
//                            Windows holds it, GetCommandLineW, in UTF-8 whatever
//                            the code page), opens a
//                            full-screen top-level window of class "MAME" and
//                            exits when that window gets WM_CLOSE (logging
//                            "close<TAB>pid"); "args<TAB>pid<TAB>word..." logs
//                            the words the C runtime split the line into.
//
// Fault switches, as files beside the executable:
//   fake-ignore-close   the window ignores WM_CLOSE
//   fake-crash          the process dies at start with an access-violation code
//   fake-quit           the process ends at once, without a window
//   fake-quit-GAME      the same, only when GAME is the last word
//   fake-no-window      runs without any window until fake-stop appears (or 5 min)
//   fake-hang-listxml   -listxml never answers (sleeps 10 min)
//   fake-slow-listxml   -listxml answers after 300 ms, as a real emulator's start takes
//   fake-exit-MS-CODE   the run ends by itself after MS ms with exit code CODE, as a failing start does
//   fake-missing-GAME   GAME's files are missing: -verifyroms says so (exit code 2) and a
//                       run of it ends at once with exit code 2
//   fake-exit2-GAME     a run of GAME ends at once with exit code 2, -verifyroms finding it good
#include <windows.h>

#include <cstdlib>
#include <string>

static std::string folder;        // the executable's folder, with a trailing backslash
static std::string commandLine;

static bool SwitchOn(const char *name)
{
    return GetFileAttributesA((folder + name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

static void Write(HANDLE file, const std::string &text)
{
    DWORD written;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

static void AppendLog(const std::string &line)
{
    HANDLE log = CreateFileA((folder + "fakemame.log").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log != INVALID_HANDLE_VALUE)
        Write(log, line + "\r\n"), CloseHandle(log);
}

static int ListXml(std::string name)
{
    if (SwitchOn("fake-hang-listxml"))
        return Sleep(600000), 0;
    name.erase(0, name.find_first_not_of(" \t"));
    name.erase(name.find_last_not_of(" \t\r\n") + 1);
    AppendLog("listxml\t" + name);
    if (SwitchOn("fake-slow-listxml"))
        Sleep(300);
    HANDLE report = INVALID_HANDLE_VALUE;
    if (!name.empty() && name.find_first_of("\\/:") == std::string::npos)
        report = CreateFileA((folder + "reports\\" + name + ".xml").c_str(), GENERIC_READ, FILE_SHARE_READ,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    if (report == INVALID_HANDLE_VALUE)
        return Write(GetStdHandle(STD_ERROR_HANDLE), "No matching machines found for '" + name + "'\n"), 5;
    char chunk[65536];
    DWORD read, written;
    while (ReadFile(report, chunk, sizeof chunk, &read, nullptr) && read > 0 &&
           WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), chunk, read, &written, nullptr)) {
    }
    CloseHandle(report);
    return 0;
}

static int VerifyRoms(std::string name)
{
    name.erase(name.find_last_not_of(" \t\r\n") + 1);
    AppendLog("verifyroms\t" + name);
    if (GetFileAttributesA((folder + "reports\\" + name + ".xml").c_str()) == INVALID_FILE_ATTRIBUTES)
        return Write(GetStdHandle(STD_ERROR_HANDLE), "No matching systems found for '" + name + "'\n"), 5;
    if (SwitchOn(("fake-missing-" + name).c_str()))
        return Write(GetStdHandle(STD_ERROR_HANDLE), "romset \"" + name + "\" not found!\n"), 2;
    return Write(GetStdHandle(STD_OUTPUT_HANDLE), "romset " + name + " is good\n1 romsets found, 1 were OK.\n"), 0;
}

static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE) {
        if (!SwitchOn("fake-ignore-close")) {
            AppendLog("close\t" + std::to_string(GetCurrentProcessId()));
            DestroyWindow(window);
        }
        return 0;
    }
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    if (message != WM_PAINT)
        return DefWindowProcA(window, message, wParam, lParam);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT area;
    GetClientRect(window, &area);
    HBRUSH brush = CreateSolidBrush(RGB(30, 60, 160));
    FillRect(dc, &area, brush);
    DeleteObject(brush);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 0));
    InflateRect(&area, -40, -40);
    DrawTextA(dc, ("Stand-in emulator\n\n" + commandLine).c_str(), -1, &area, DT_CENTER | DT_WORDBREAK);
    EndPaint(window, &paint);
    return 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    char path[MAX_PATH];
    folder.assign(path, GetModuleFileNameA(nullptr, path, sizeof path));
    folder.erase(folder.find_last_of('\\') + 1);
    commandLine = GetCommandLineA();
    // The arguments follow the program's name, which may be quoted.
    size_t end = commandLine[0] == '"' ? commandLine.find('"', 1) : commandLine.find_first_of(" \t");
    std::string arguments = end == std::string::npos ? "" : commandLine.substr(end + 1);
    arguments.erase(0, arguments.find_first_not_of(" \t"));
    if (arguments.compare(0, 8, "-listxml") == 0)
        return ListXml(arguments.substr(8));
    if (arguments.find(" -verifyroms ") != std::string::npos)
        return VerifyRoms(arguments.substr(arguments.find(" -verifyroms ") + 13));

    char current[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof current, current);
    char wide[32768] = "";
    WideCharToMultiByte(CP_UTF8, 0, GetCommandLineW(), -1, wide, sizeof wide, nullptr, nullptr);
    AppendLog("start\t" + std::to_string(GetCurrentProcessId()) + "\t" + current + "\t" + wide);
    // The words as the C runtime split them: what a real emulator would see.
    std::string words = "args\t" + std::to_string(GetCurrentProcessId());
    for (int i = 1; i < __argc; ++i)
        words += std::string("\t") + __argv[i];
    AppendLog(words);
    if (SwitchOn("fake-quit") || (__argc > 1 && SwitchOn(("fake-quit-" + std::string(__argv[__argc - 1])).c_str())))
        return 0;
    std::string last = __argc > 1 ? __argv[__argc - 1] : "";
    if (SwitchOn(("fake-missing-" + last).c_str()) || SwitchOn(("fake-exit2-" + last).c_str()))
        return 2;
    if (SwitchOn("fake-crash"))
        ExitProcess(0xC0000005);
    for (int i = 0; SwitchOn("fake-no-window") && i < 3000 && !SwitchOn("fake-stop"); ++i)
        Sleep(100);
    if (SwitchOn("fake-no-window"))
        return 0;

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.lpszClassName = "MAME";
    RegisterClassA(&windowClass);
    // Full screen and topmost, like an emulator run with -nowindow, so it
    // shows over the saver's own topmost window.
    if (!CreateWindowExA(WS_EX_TOPMOST, "MAME", "Stand-in emulator", WS_POPUP | WS_VISIBLE, 0, 0,
                         GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, instance,
                         nullptr))
        return 2;
    WIN32_FIND_DATAA plan;
    HANDLE found = FindFirstFileA((folder + "fake-exit-*").c_str(), &plan);
    char *exitCode = nullptr;
    if (found != INVALID_HANDLE_VALUE && FindClose(found))
        SetTimer(nullptr, 0, strtoul(plan.cFileName + 10, &exitCode, 10), nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && exitCode)
            ExitProcess(atoi(exitCode + 1));
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
