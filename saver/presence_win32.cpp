#include "saver/presence.h"

#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

struct Launched {
    HANDLE process;
    ULONGLONG startTick;
};

// Only the window thread touches this list.
std::vector<Launched> launched;

bool Ended(HANDLE process)
{
    return WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
}

// Ended processes are of no more use, but for the newest one's run time.
void ForgetEnded()
{
    for (size_t i = 0; i + 1 < launched.size();) {
        if (Ended(launched[i].process)) {
            CloseHandle(launched[i].process);
            launched.erase(launched.begin() + static_cast<long>(i));
        } else {
            ++i;
        }
    }
}

BOOL CALLBACK PostCloseToEmulator(HWND window, LPARAM)
{
    char name[8];
    if (GetClassNameA(window, name, sizeof name) && lstrcmpiA(name, "MAME") == 0)
        PostMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
}

}   // namespace

bool LaunchEmulator(char *command, const char *folder)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, BELOW_NORMAL_PRIORITY_CLASS,
                        nullptr, folder, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    launched.push_back({process.hProcess, GetTickCount64()});
    ForgetEnded();
    return true;
}

bool LaunchedEmulatorRunning()
{
    for (const Launched &item : launched)
        if (!Ended(item.process))
            return true;
    return false;
}

int64_t LaunchedRunTime()
{
    if (launched.empty() || !Ended(launched.back().process))
        return -1;
    FILETIME created, exited, kernel, user;
    if (GetProcessTimes(launched.back().process, &created, &exited, &kernel, &user)) {
        ULARGE_INTEGER from = {{created.dwLowDateTime, created.dwHighDateTime}};
        ULARGE_INTEGER to = {{exited.dwLowDateTime, exited.dwHighDateTime}};
        if (to.QuadPart >= from.QuadPart && to.QuadPart != 0)
            return static_cast<int64_t>((to.QuadPart - from.QuadPart) / 10000);
    }
    // Without the system's times, what was seen of it: launch to now.
    return static_cast<int64_t>(GetTickCount64() - launched.back().startTick);
}

int LaunchedExitCode()
{
    DWORD code = 0;
    if (launched.empty() || !Ended(launched.back().process) ||
        !GetExitCodeProcess(launched.back().process, &code))
        return -1;
    return static_cast<int>(code);
}

void EndLaunchedEmulators()
{
    for (const Launched &item : launched) {
        if (!Ended(item.process)) {
            TerminateProcess(item.process, 1);
            WaitForSingleObject(item.process, 2000);
        }
        CloseHandle(item.process);
    }
    launched.clear();
}

void LeaveLaunchedEmulators()
{
    for (const Launched &item : launched)
        CloseHandle(item.process);
    launched.clear();
}

HANDLE GetMessProcessHandle(const char *exe)
{
    if (!exe || !exe[0])
        return nullptr;
    DWORD ids[1024];
    DWORD bytes = 0;
    if (!EnumProcesses(ids, sizeof ids, &bytes)) {
        printf("Error in EnumProcesses\n");
        return nullptr;
    }
    DWORD count = bytes / sizeof(DWORD);
    for (DWORD i = 0; i < count; ++i) {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ids[i]);
        if (!process)
            continue;
        // The image's full name: unlike the module list, readable from a
        // 32-bit saver for a 64-bit emulator.
        char path[MAX_PATH * 2];
        DWORD length = sizeof path;
        if (QueryFullProcessImageNameA(process, 0, path, &length)) {
            const char *slash = strrchr(path, '\\');
            const char *name = slash ? slash + 1 : path;
            // Exact on purpose: a name typed otherwise is not the configured emulator.
            if (strcmp(name, exe) == 0)
                return process;
        }
        CloseHandle(process);
    }
    return nullptr;
}

bool EmulatorPresent(const char *exe)
{
    if (LaunchedEmulatorRunning() || FindWindowA("MAME", nullptr))
        return true;
    HANDLE process = GetMessProcessHandle(exe);
    if (!process)
        return false;
    CloseHandle(process);
    return true;
}

void AskEmulatorsToClose()
{
    EnumWindows(PostCloseToEmulator, 0);
}
