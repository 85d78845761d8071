// Stand-in emulator: meets the emulator contract so the saver can be run and
// tested without a real MAME.
//
//   fakemame -listxml NAME   logs "listxml<TAB>NAME" in fakemame.log and prints
//                            reports\NAME.xml (beside the executable) to
//                            standard output; an unknown NAME prints the
//                            emulator's "No matching machines found" line on
//                            standard error and exits 5.
//   fakemame anything else   appends "start<TAB>pid<TAB>current folder<TAB>
//                            command line" to fakemame.log beside it, opens a
//                            full-screen top-level window of class "MAME" and
//                            exits when that window gets WM_CLOSE (logging
//                            "close<TAB>pid").
//
// Fault switches, as files beside the executable:
//   fake-ignore-close   the window ignores WM_CLOSE
//   fake-crash          the process dies at start with an access-violation code
//   fake-no-window      runs without any window until fake-stop appears (or 5 min)
//   fake-hang-listxml   -listxml never answers (sleeps 10 min)
//   fake-slow-listxml   -listxml answers after 300 ms, as a real emulator's start takes
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

static std::string folder;   // the executable's folder, with a trailing backslash

static bool SwitchOn(const char *name)
{
    return GetFileAttributesA((folder + name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

static void AppendLog(const std::string &line)
{
    HANDLE log = CreateFileA((folder + "fakemame.log").c_str(), FILE_APPEND_DATA,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE)
        return;
    std::string text = line + "\r\n";
    DWORD written;
    WriteFile(log, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(log);
}

static void Write(DWORD which, const std::string &text)
{
    DWORD written;
    WriteFile(GetStdHandle(which), text.data(), static_cast<DWORD>(text.size()), &written,
              nullptr);
}

// The command line's arguments after the program name, split at blanks with
// double quotes grouping.
static std::string ArgumentsOf(const char *line)
{
    const char *p = line;
    if (*p == '"') {
        p = strchr(p + 1, '"');
        p = p ? p + 1 : line + strlen(line);
    } else {
        while (*p && *p != ' ' && *p != '\t')
            ++p;
    }
    while (*p == ' ' || *p == '\t')
        ++p;
    return p;
}

static int ListXml(const std::string &name)
{
    if (SwitchOn("fake-hang-listxml")) {
        Sleep(600000);
        return 0;
    }
    AppendLog("listxml\t" + name);
    if (SwitchOn("fake-slow-listxml"))
        Sleep(300);
    bool plain = !name.empty() && name.find_first_of("\\/:") == std::string::npos;
    HANDLE report = INVALID_HANDLE_VALUE;
    if (plain)
        report = CreateFileA((folder + "reports\\" + name + ".xml").c_str(), GENERIC_READ,
                             FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (report == INVALID_HANDLE_VALUE) {
        Write(STD_ERROR_HANDLE, "No matching machines found for '" + name + "'\n");
        return 5;
    }
    char chunk[65536];
    DWORD read;
    while (ReadFile(report, chunk, sizeof chunk, &read, nullptr) && read > 0) {
        DWORD written;
        if (!WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), chunk, read, &written, nullptr))
            break;
    }
    CloseHandle(report);
    return 0;
}

static std::string commandLine;

static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        if (SwitchOn("fake-ignore-close"))
            return 0;
        AppendLog("close\t" + std::to_string(GetCurrentProcessId()));
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT area;
        GetClientRect(window, &area);
        HBRUSH brush = CreateSolidBrush(RGB(30, 60, 160));
        FillRect(dc, &area, brush);
        DeleteObject(brush);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(255, 255, 0));
        std::string text = "Stand-in emulator\n\n" + commandLine;
        InflateRect(&area, -40, -40);
        DrawTextA(dc, text.c_str(), -1, &area, DT_CENTER | DT_WORDBREAK);
        EndPaint(window, &paint);
        return 0;
    }
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    folder.assign(path, length);
    folder.erase(folder.find_last_of('\\') + 1);

    commandLine = GetCommandLineA();
    std::string arguments = ArgumentsOf(commandLine.c_str());
    if (arguments.compare(0, 8, "-listxml") == 0) {
        std::string name = arguments.substr(8);
        name.erase(0, name.find_first_not_of(" \t"));
        name.erase(name.find_last_not_of(" \t\r\n") + 1);
        return ListXml(name);
    }

    char current[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof current, current);
    AppendLog("start\t" + std::to_string(GetCurrentProcessId()) + "\t" + current + "\t" +
              commandLine);

    if (SwitchOn("fake-crash"))
        ExitProcess(0xC0000005);
    if (SwitchOn("fake-no-window")) {
        for (int i = 0; i < 3000 && !SwitchOn("fake-stop"); ++i)
            Sleep(100);
        return 0;
    }

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.lpszClassName = "MAME";
    RegisterClassA(&windowClass);
    // Full screen and topmost, like an emulator run with -nowindow, so it
    // shows over the saver's own topmost window.
    HWND window = CreateWindowExA(WS_EX_TOPMOST, "MAME", "Stand-in emulator",
                                  WS_POPUP | WS_VISIBLE, 0, 0,
                                  GetSystemMetrics(SM_CXSCREEN),
                                  GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, instance,
                                  nullptr);
    if (!window)
        return 2;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
