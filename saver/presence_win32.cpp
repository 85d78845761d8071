#include "saver/presence.h"

#include <psapi.h>

#include <cstdio>
#include <cstring>

#include "config/settings.h"

HANDLE GetMessProcessHandle()
{
    DWORD ids[1024];
    DWORD bytes = 0;
    if (!EnumProcesses(ids, sizeof ids, &bytes)) {
        printf("Error in EnumProcesses\n");
        return nullptr;
    }
    const char *wanted = MameOrMess == 1 ? MameExe : MessExe;
    DWORD count = bytes / sizeof(DWORD);
    for (DWORD i = 0; i < count; ++i) {
        char name[MAX_PATH];
        memset(name, 0, sizeof name);
        strcpy(name, "<unknown>");
        HANDLE process =
            OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, ids[i]);
        if (process) {
            HMODULE module;
            DWORD needed;
            if (EnumProcessModules(process, &module, sizeof module, &needed))
                GetModuleBaseNameA(process, module, name, sizeof name);
        }
        // The comparison is exact on purpose: a name typed otherwise is not
        // the configured emulator.
        if (process && strcmp(name, wanted) == 0)
            return process;
        if (process)
            CloseHandle(process);
    }
    return nullptr;
}

bool EmulatorPresent()
{
    if (FindWindowA("MAME", nullptr))
        return true;
    HANDLE process = GetMessProcessHandle();
    if (!process)
        return false;
    CloseHandle(process);
    return true;
}

static void Terminate(DWORD id)
{
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
    if (!process)
        return;
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 2000);
    CloseHandle(process);
}

void EndEmulatorProcesses()
{
    HWND window = FindWindowA("MAME", nullptr);
    DWORD windowOwner = 0;
    if (window)
        GetWindowThreadProcessId(window, &windowOwner);
    if (windowOwner && windowOwner != GetCurrentProcessId())
        Terminate(windowOwner);
    HANDLE process = GetMessProcessHandle();
    if (process) {
        DWORD id = GetProcessId(process);
        CloseHandle(process);
        if (id != GetCurrentProcessId())
            Terminate(id);
    }
}
